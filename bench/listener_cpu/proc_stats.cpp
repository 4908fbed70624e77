#include "bench/listener_cpu/proc_stats.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <vector>

int64_t ProcessCpuNanoseconds(pid_t pid) {
  const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
  std::error_code error;
  int64_t total = 0;
  for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
    std::ifstream schedstat(task.path() / "schedstat");
    int64_t onCpu = 0;
    if (schedstat >> onCpu) total += onCpu;  // a thread that just ended has none
  }
  if (error) throw std::runtime_error("cannot read " + tasks.string() + ": " + error.message());
  return total;
}

std::string ProcessName(pid_t pid) {
  std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(comm, name);
  return name;
}

int64_t UdpReceiveErrors() {
  // Two "Udp:" lines: the field names, then their values.
  std::ifstream snmp("/proc/net/snmp");
  std::string line;
  std::vector<std::string> names;
  while (std::getline(snmp, line)) {
    if (line.rfind("Udp: ", 0) != 0) continue;
    std::istringstream fields(line.substr(5));
    if (names.empty()) {
      for (std::string name; fields >> name;) names.push_back(name);
      continue;
    }
    for (size_t i = 0; i < names.size(); ++i) {
      int64_t value = 0;
      fields >> value;
      if (names[i] == "InErrors") return value;
    }
  }
  throw std::runtime_error("no Udp InErrors in /proc/net/snmp");
}
