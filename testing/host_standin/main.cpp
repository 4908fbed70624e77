// zovik_host: stands in for the voice client. It loads the plugin library,
// hands it a function table backed by a simulated server, and runs a script
// of client events (see script.h).
//
//   zovik_host [--plugin PATH] [--plugin-dir DIR] [SCRIPT]
//
// Without SCRIPT the commands are read from standard input.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "testing/host_standin/script.h"
#include "testing/host_standin/simulated_host.h"

int main(int argc, char** argv) {
  HostSession session;
  session.pluginPath = ProgramDirectory() + PluginFileName();
  session.pluginDirectory = ProgramDirectory();
  std::string scriptPath;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--plugin" && i + 1 < argc) {
      session.pluginPath = argv[++i];
    } else if (argument == "--plugin-dir" && i + 1 < argc) {
      session.pluginDirectory = argv[++i];
    } else if (argument[0] != '-' && scriptPath.empty()) {
      scriptPath = argument;
    } else {
      std::fprintf(stderr, "usage: zovik_host [--plugin PATH] [--plugin-dir DIR] [SCRIPT]\n");
      return 2;
    }
  }
  SimulatedHost::Instance().SetPluginPath(session.pluginDirectory);
  if (scriptPath.empty()) return RunScript(std::cin, session);
  std::ifstream script(scriptPath);
  if (!script) {
    std::fprintf(stderr, "zovik_host: cannot read %s\n", scriptPath.c_str());
    return 2;
  }
  return RunScript(script, session);
}
