// zovik_bench: measurements of the real plugin library.
//   zovik_bench receive bare|plugin
//   zovik_bench change [--repetitions 5] [--changes 2000] [--gap-us 200] [--tail-gap-us 1000]
//   zovik_bench shutdown [--repetitions 5] [--cycles 100]
#include <cstdio>
#include <exception>
#include <string>

#include "bench/plugin_runs/runs.h"

int main(int argc, char** argv) {
  const std::string command = argc > 1 ? argv[1] : "";
  try {
    if (command == "receive" && argc == 3) return RunReceiver(argv[2]);
    if (command == "change") return RunRadioChange(Options(argc, argv, 2));
    if (command == "shutdown") return RunShutdown(Options(argc, argv, 2));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zovik_bench %s: %s\n", command.c_str(), error.what());
    return 1;
  }
  std::fprintf(stderr, "usage: zovik_bench receive bare|plugin | change [--name value]... | "
                       "shutdown [--name value]...\n");
  return 2;
}
