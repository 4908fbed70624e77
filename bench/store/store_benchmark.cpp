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

// The listener's work for alternating frequencies whose channels are the
// last two of `channels`: each datagram a new frequency and a move request.
void AlternateFoundFrequencies(benchmark::State& state, int64_t channels) {
  PrepareStore(ChannelNames(channels, {kFr251, k2515}));
  static const char* const kDatagrams[2] = {"251000", "251500"};
  const uint64_t before = array_host::MoveRequests();
  uint64_t changes = 0;
  for (auto _ : state) {
    g_udpServer.HandleDatagram(kDatagrams[changes & 1], 6);
    ++changes;
  }
  if (array_host::MoveRequests() - before != changes) state.SkipWithError("a change was not moved");
}

void FrequencyToMoveRequest(benchmark::State& state) {
  AlternateFoundFrequencies(state, state.range(0));
}
BENCHMARK(FrequencyToMoveRequest)->Arg(10)->Arg(1000)->Arg(10000)->MinTime(0.2)->Repetitions(kRepetitions);

// The same on 10 channels with the chat notices on (argument 1) or off (0):
// no notice is due on this path, so they must cost nothing.
void FoundFrequencyWithNotices(benchmark::State& state) {
  g_udpServer.SetChatNotices(state.range(0) != 0);
  AlternateFoundFrequencies(state, 10);
  g_udpServer.SetChatNotices(false);
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

// `over` / `under` of each run (the same repetition of both), spread.
Spread RatioPerRun(const std::vector<double>& over, const std::vector<double>& under) {
  std::vector<double> ratios;
  for (size_t i = 0; i < over.size() && i < under.size(); ++i) ratios.push_back(over[i] / under[i]);
  return SpreadOf(ratios);
}

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
  const Spread scale = RatioPerRun(large, small);
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

// A row whose result is `over` / `under` per run, in ns, met at a median of
// at most `most`.
void PrintRatioRow(const Collector& collector, const std::string& figure,
                   const std::string& overLabel, const std::vector<double>& over,
                   const std::string& underLabel, const std::vector<double>& under, double most,
                   const std::string& target) {
  const Spread ratio = RatioPerRun(over, under);
  TableRow row;
  row.figure = figure;
  row.build = "zovik_core in a native program; Wine: not run";
  row.measured = overLabel + WithSpread(SpreadOf(over), 0, "ns");
  row.baseline = underLabel + WithSpread(SpreadOf(under), 0, "ns");
  row.result = WithSpread(ratio, 2, "\xC3\x97");
  row.target = target;
  row.verdict = Verdict(!collector.failed && ratio.median <= most);
  PrintRow(row);
}

void PrintLiveRows(const Collector& collector) {
  const auto perEvent = [&](const std::string& name) {
    std::vector<double> times = collector.times.at(name);
    for (double& time : times) time /= kEventsPerCycle;
    return times;
  };
  PrintRatioRow(collector,
                "7 Live channel change, one create, rename or delete event to the published "
                "store (RefreshChannel, RemoveChannel; name read by index)",
                "N = 10,000 channels: ", perEvent("LiveChannelEvents/10000"), "N = 10: ",
                perEvent("LiveChannelEvents/10"), 2, "10,000 \xE2\x89\xA4 2\xC3\x97 10");

  const Spread connecting = SpreadOf(collector.times.at("ConnectingChannelEvents/10000"));
  TableRow row;
  row.figure = "8 Connecting to 10,000 channels: one new-channel event each while establishing, "
               "then the build";
  row.build = "zovik_core in a native program; Wine: not run";
  row.measured = WithSpread(connecting, 2, "ms");
  row.baseline = "\xE2\x80\x94";
  row.result = WithSpread(connecting, 2, "ms");
  row.target = "\xE2\x89\xA4 100 ms";
  row.verdict = Verdict(!collector.failed && connecting.median <= 100);
  PrintRow(row);

  PrintRatioRow(collector,
                "9 Chat notices on, accepted frequency \xE2\x86\x92 move request, every "
                "frequency found (HandleDatagram, 10 channels)",
                "notices on: ", collector.times.at("FoundFrequencyWithNotices/1"), "notices off: ",
                collector.times.at("FoundFrequencyWithNotices/0"), 1.1,
                "\xE2\x89\xA4 1.1\xC3\x97 (noise)");
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
