// zovik_send: sends radio frequencies to the plugin, as the simulator would.
//
//   zovik_send [--host ADDRESS] [--port PORT] [--repeat N] [--interval MS] FREQUENCY...
//   zovik_send --help | -h | --version
//
// FREQUENCY is in MHz ("251", "251.000") or kHz ("251000"). Each one is
// sent N times (default 1), MS milliseconds apart (default 200).
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "commands/frequency_argument.h"
#include "plugin_identity.h"
#include "tools/sender/udp_sender.h"

namespace {

// Asked for, the usage goes to standard output and is no error.
int Usage(FILE* to = stderr) {
  std::fprintf(to,
               "usage: zovik_send [--host ADDRESS] [--port PORT] [--repeat N] [--interval MS] "
               "FREQUENCY...\n"
               "       zovik_send --help | --version\n"
               "  FREQUENCY in MHz (251, 251.000) or kHz (251000); default 127.0.0.1:10500\n");
  return to == stdout ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string host = "127.0.0.1";
  long port = kDefaultFrequencyPort;
  long repeat = 1;
  long intervalMs = 200;
  std::vector<std::string> datagrams;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--help" || argument == "-h") return Usage(stdout);
    if (argument == "--version") {
      std::printf("zovik_send %s (%s %s)\n", ZOVIK_FILE_VERSION_TEXT, ZOVIK_NAME,
                  ZOVIK_REPORTED_VERSION);
      return 0;
    }
    if (argument == "--host" && hasValue) {
      host = argv[++i];
    } else if (argument == "--port" && hasValue) {
      port = std::strtol(argv[++i], nullptr, 10);
    } else if (argument == "--repeat" && hasValue) {
      repeat = std::strtol(argv[++i], nullptr, 10);
    } else if (argument == "--interval" && hasValue) {
      intervalMs = std::strtol(argv[++i], nullptr, 10);
    } else {
      std::string text;
      if (!FrequencyArgumentToKilohertzText(argument, &text)) return Usage();
      datagrams.push_back(text);
    }
  }
  if (datagrams.empty() || port <= 0 || port > 65535 || repeat < 1 || intervalMs < 0) {
    return Usage();
  }

  UdpSender sender;
  for (const std::string& text : datagrams) {
    for (long n = 0; n < repeat; ++n) {
      std::string error;
      if (!sender.Send(host, static_cast<uint16_t>(port), text.data(), text.size(), &error)) {
        std::fprintf(stderr, "zovik_send: %s\n", error.c_str());
        return 1;
      }
      std::printf("sent %s to %s:%ld\n", text.c_str(), host.c_str(), port);
      std::fflush(stdout);
      if (n + 1 < repeat || &text != &datagrams.back()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(intervalMs));
      }
    }
  }
  return 0;
}
