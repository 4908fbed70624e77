// zovik_bench_datagram: the listener's work per datagram, with no socket, in
// the two paths every flight takes: the steady radio (a repeat, dropped) and
// a radio change (a move request). Built twice, over the listener as the
// package library has it (with the pilot's controls) and over the same code
// compiled as the fixed API 20 build has it (without them), so that
// scripts/bench.sh compares the two in one run. Prints "repeat NS" and
// "change NS" lines: the median over the runs, then each run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/store/array_host.h"
#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "udpserver/udp_server.h"

namespace {

constexpr int kRuns = 5;

double NanosecondsPer(long count, const char* const* datagrams) {
  const auto start = std::chrono::steady_clock::now();
  for (long i = 0; i < count; ++i) g_udpServer.HandleDatagram(datagrams[i & 1], 6);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  return std::chrono::duration<double, std::nano>(elapsed).count() / static_cast<double>(count);
}

void Report(const char* name, std::vector<double> times) {
  std::vector<double> sorted = times;
  std::sort(sorted.begin(), sorted.end());
  std::printf("%s %.1f", name, sorted[sorted.size() / 2]);
  for (double time : times) std::printf(" %.1f", time);
  std::printf("\n");
}

}  // namespace

int main() {
  array_host::SetChannels({"Lobby", "Fr\xC3\xA9quences 251", "251.5", "Room 4", "Room 5",
                           "Room 6", "Room 7", "Room 8", "Room 9", "Room 10"});
  g_ts3Functions = array_host::FunctionTable();
  if (g_channelsBase.BuildDataBase(1) != 10) {
    std::fprintf(stderr, "zovik_bench_datagram: the store was not built\n");
    return 1;
  }
  // What the package library hooks up at init; the build without the
  // controls never calls it.
  g_udpServer.SetOnFactsChanged([] {});
  static const char* const kSteady[2] = {"251000", "251000"};
  static const char* const kChanging[2] = {"251500", "251000"};
  std::vector<double> repeat, change;
  for (int run = 0; run < kRuns; ++run) {
    g_udpServer.ResetLastSwitch();
    g_udpServer.HandleDatagram("251000", 6);
    repeat.push_back(NanosecondsPer(4000000, kSteady));
    const uint64_t before = array_host::MoveRequests();
    change.push_back(NanosecondsPer(400000, kChanging));
    if (array_host::MoveRequests() - before != 400000) {
      std::fprintf(stderr, "zovik_bench_datagram: a change was not moved\n");
      return 1;
    }
  }
  Report("repeat", repeat);
  Report("change", change);
  return 0;
}
