// zovik_bench_store: the store and the listener's logic with no socket, timed
// with Google Benchmark (native only: the library has no MinGW build here).
// Prints the table rows of the lookup's scale, the rebuild, the live channel
// changes and the chat notices' cost; Google Benchmark's own report goes to
// standard error.
#include <benchmark/benchmark.h>

#include <iostream>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "bench/store/array_host.h"
#include "bench/support/summary.h"
#include "bench/support/table.h"
#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "udpserver/udp_server.h"

namespace {

const std::string kFr251 = "Fr\xC3\xA9quences 251";  // 251000 kHz
const std::string k2515 = "251.5";                    // 251500 kHz
constexpr int kRepetitions = 5;

// `count` channels that end with `last`.
std::vector<std::string> ChannelNames(int64_t count, const std::vector<std::string>& last) {
  std::vector<std::string> names;
  for (int64_t i = 1; static_cast<int64_t>(names.size() + last.size()) < count; ++i) {
    names.push_back("Room " + std::to_string(i));
  }
  names.insert(names.end(), last.begin(), last.end());
  return names;
}

void PrepareStore(std::vector<std::string> names) {
  const int count = static_cast<int>(names.size());
  array_host::SetChannels(std::move(names));
  g_ts3Functions = array_host::FunctionTable();
  g_channelsBase.Clear();
  if (g_channelsBase.BuildDataBase(1) != count) throw std::runtime_error("store not built");
  g_udpServer.ResetLastSwitch();
}

// An accepted new frequency to its move request: the two frequencies that
// alternate have the last two channels of the list.
void FrequencyToMoveRequest(benchmark::State& state) {
  PrepareStore(ChannelNames(state.range(0), {kFr251, k2515}));
  static const char* const kDatagrams[2] = {"251000", "251500"};
  const uint64_t before = array_host::MoveRequests();
  uint64_t changes = 0;
  for (auto _ : state) {
    g_udpServer.HandleDatagram(kDatagrams[changes & 1], 6);
    ++changes;
  }
  if (array_host::MoveRequests() - before != changes) state.SkipWithError("a change was not moved");
}
BENCHMARK(FrequencyToMoveRequest)->Arg(10)->Arg(1000)->Arg(10000)->MinTime(0.2)->Repetitions(kRepetitions);

// Datagrams whose frequencies all have channels, with the chat notices on
// (argument 1) or off (0): the notices must cost nothing on this path.
void FoundFrequencyWithNotices(benchmark::State& state) {
  PrepareStore(ChannelNames(10, {kFr251, k2515}));
  g_udpServer.SetChatNotices(state.range(0) != 0);
  static const char* const kDatagrams[2] = {"251000", "251500"};
  const uint64_t before = array_host::MoveRequests();
  uint64_t changes = 0;
  for (auto _ : state) {
    g_udpServer.HandleDatagram(kDatagrams[changes & 1], 6);
    ++changes;
  }
  g_udpServer.SetChatNotices(false);
  if (array_host::MoveRequests() - before != changes) state.SkipWithError("a change was not moved");
}
BENCHMARK(FoundFrequencyWithNotices)->Arg(0)->Arg(1)->MinTime(0.2)->Repetitions(kRepetitions);

// One iteration is three live changes of one channel on a server of N:
// created, renamed, deleted, each published before the call returns.
constexpr int kEventsPerCycle = 3;
void LiveChannelEvents(benchmark::State& state) {
  PrepareStore(ChannelNames(state.range(0), {kFr251, k2515}));
  const uint64_t spare = static_cast<uint64_t>(state.range(0)) + 1;  // not listed
  for (auto _ : state) {
    array_host::SetName(spare, "127.525");
    g_channelsBase.RefreshChannel(1, spare);
    array_host::SetName(spare, "127.550");
    g_channelsBase.RefreshChannel(1, spare);
    g_channelsBase.RemoveChannel(1, spare);
  }
  if (g_channelsBase.channelCount() != state.range(0)) state.SkipWithError("count drifted");
}
BENCHMARK(LiveChannelEvents)->Arg(10)->Arg(10000)->MinTime(0.2)->Repetitions(kRepetitions);

// A connection to a server of 10,000 channels as the client reports it: one
// new-channel event per channel while establishing, then the build.
void ConnectingChannelEvents(benchmark::State& state) {
  PrepareStore(ChannelNames(state.range(0), {kFr251, k2515}));
  for (auto _ : state) {
    g_channelsBase.Clear();  // the connection was lost before
    for (uint64_t channel = 1; channel <= static_cast<uint64_t>(state.range(0)); ++channel) {
      g_channelsBase.RefreshChannel(1, channel);
    }
    if (g_channelsBase.BuildDataBase(1) != state.range(0)) state.SkipWithError("build failed");
  }
}
BENCHMARK(ConnectingChannelEvents)
    ->Arg(10000)
    ->MinTime(0.2)
    ->Repetitions(kRepetitions)
    ->Unit(benchmark::kMillisecond);

void RebuildStore(benchmark::State& state) {
  PrepareStore(ChannelNames(state.range(0), {kFr251, k2515}));
  for (auto _ : state) {
    if (g_channelsBase.BuildDataBase(1) != state.range(0)) state.SkipWithError("build failed");
  }
}
BENCHMARK(RebuildStore)->Arg(10000)->MinTime(0.2)->Repetitions(kRepetitions)->Unit(benchmark::kMillisecond);

// Keeps each repetition's time per iteration, by benchmark and argument,
// and shows Google Benchmark's own report on standard error.
class Collector : public benchmark::ConsoleReporter {
 public:
  Collector() : ConsoleReporter(OO_Tabular) {}  // plain text: it goes to a log
  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.run_type != Run::RT_Iteration) continue;
      if (run.error_occurred) failed = true;
      times[run.run_name.function_name + "/" + run.run_name.args].push_back(
          run.GetAdjustedRealTime());
    }
    ConsoleReporter::ReportRuns(runs);
  }
  std::map<std::string, std::vector<double>> times;
  bool failed = false;
};

// Of 10,000 channels whose last two share a name, the earlier is moved to.
bool FirstOfADuplicatedNameWins() {
  PrepareStore(ChannelNames(10000, {kFr251, kFr251}));
  const uint64_t before = array_host::MoveRequests();
  g_udpServer.HandleDatagram("251000", 6);
  return array_host::MoveRequests() == before + 1 && array_host::LastMoveChannel() == 9999;
}

void PrintLookupRows(const Collector& collector) {
  const auto& small = collector.times.at("FrequencyToMoveRequest/10");
  const auto& middle = collector.times.at("FrequencyToMoveRequest/1000");
  const auto& large = collector.times.at("FrequencyToMoveRequest/10000");
  std::vector<double> ratio;
  for (size_t i = 0; i < small.size() && i < large.size(); ++i) ratio.push_back(large[i] / small[i]);
  const Spread scale = SpreadOf(ratio);
  TableRow row;
  row.figure = "3 Lookup, accepted frequency \xE2\x86\x92 move request, target last of N channels "
               "(HandleDatagram, no socket)";
  row.build = "zovik_core in a native program; Wine: not run";
  row.measured = "N = 10,000: " + WithSpread(SpreadOf(large), 0, "ns") + " \xC2\xB7 N = 1,000: " +
                 WithSpread(SpreadOf(middle), 0, "ns");
  row.baseline = "N = 10: " + WithSpread(SpreadOf(small), 0, "ns");
  row.result = WithSpread(scale, 2, "\xC3\x97");
  row.target = "10,000 \xE2\x89\xA4 2\xC3\x97 10";
  row.verdict = Verdict(!collector.failed && scale.median <= 2);
  PrintRow(row);

  const bool firstWins = FirstOfADuplicatedNameWins();
  row.figure = "3 Duplicated name, 10,000 channels whose last two share it";
  row.measured = firstWins ? "moved to the first of the two" : "moved elsewhere";
  row.baseline = "\xE2\x80\x94";
  row.result = firstWins ? "first record wins" : "first record lost";
  row.target = "first record wins";
  row.verdict = Verdict(firstWins);
  PrintRow(row);
}

void PrintRebuildRow(const Collector& collector) {
  TableRow row;
  row.figure = "6 Rebuild, BuildDataBase of 10,000 channels";
  row.build = "zovik_core in a native program; Wine: not run";
  row.measured = WithSpread(SpreadOf(collector.times.at("RebuildStore/10000")), 2, "ms");
  row.baseline = "\xE2\x80\x94";
  row.result = "switches go on during rebuilds: tests/channels_base_test.cpp "
               "SwitchesKeepWorkingWhileRebuildsRun";
  row.target = "none";
  row.verdict = collector.failed ? "**failed**" : "reported";
  PrintRow(row);
}

void PrintLiveRows(const Collector& collector) {
  TableRow row;
  row.build = "zovik_core in a native program; Wine: not run";
  const auto perEvent = [&](const std::string& name) {
    std::vector<double> times = collector.times.at(name);
    for (double& time : times) time /= kEventsPerCycle;
    return times;
  };
  const std::vector<double> small = perEvent("LiveChannelEvents/10");
  const std::vector<double> large = perEvent("LiveChannelEvents/10000");
  std::vector<double> ratio;
  for (size_t i = 0; i < small.size() && i < large.size(); ++i) ratio.push_back(large[i] / small[i]);
  const Spread scale = SpreadOf(ratio);
  row.figure = "7 Live channel change, one create, rename or delete event to the published store "
               "(RefreshChannel, RemoveChannel; name read by index)";
  row.measured = "N = 10,000 channels: " + WithSpread(SpreadOf(large), 0, "ns");
  row.baseline = "N = 10: " + WithSpread(SpreadOf(small), 0, "ns");
  row.result = WithSpread(scale, 2, "\xC3\x97");
  row.target = "10,000 \xE2\x89\xA4 2\xC3\x97 10";
  row.verdict = Verdict(!collector.failed && scale.median <= 2);
  PrintRow(row);

  const Spread connecting = SpreadOf(collector.times.at("ConnectingChannelEvents/10000"));
  row.figure = "8 Connecting to 10,000 channels: one new-channel event each while establishing, "
               "then the build";
  row.measured = WithSpread(connecting, 2, "ms");
  row.baseline = "\xE2\x80\x94";
  row.result = WithSpread(connecting, 2, "ms");
  row.target = "\xE2\x89\xA4 100 ms";
  row.verdict = Verdict(!collector.failed && connecting.median <= 100);
  PrintRow(row);

  const auto& off = collector.times.at("FoundFrequencyWithNotices/0");
  const auto& on = collector.times.at("FoundFrequencyWithNotices/1");
  std::vector<double> noticeRatio;
  for (size_t i = 0; i < off.size() && i < on.size(); ++i) noticeRatio.push_back(on[i] / off[i]);
  const Spread noticeCost = SpreadOf(noticeRatio);
  row.figure = "9 Chat notices on, accepted frequency \xE2\x86\x92 move request, every frequency "
               "found (HandleDatagram, 10 channels)";
  row.measured = "notices on: " + WithSpread(SpreadOf(on), 0, "ns");
  row.baseline = "notices off: " + WithSpread(SpreadOf(off), 0, "ns");
  row.result = WithSpread(noticeCost, 2, "\xC3\x97");
  row.target = "\xE2\x89\xA4 1.1\xC3\x97 (noise)";
  row.verdict = Verdict(!collector.failed && noticeCost.median <= 1.1);
  PrintRow(row);
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  Collector collector;
  collector.SetOutputStream(&std::cerr);
  collector.SetErrorStream(&std::cerr);
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  try {
    PrintLookupRows(collector);
    PrintRebuildRow(collector);
    PrintLiveRows(collector);
  } catch (const std::exception& error) {
    std::cerr << "zovik_bench_store: " << error.what() << "\n";
    return 1;
  }
  return 0;
}
