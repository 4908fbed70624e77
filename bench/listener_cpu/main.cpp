// zovik_bench_listener: the listener's CPU time, read from outside receiver
// processes while this process, on another core, plays the simulator.
//   zovik_bench_listener steady|idle [--name value]... -- RECEIVER COMMAND...
// The receiver command is zovik_bench (natively, or under Wine through
// cmake/wine-run.sh) without its "receive KIND" words.
//   steady: CPU per datagram on the plugin's drop path over the same for a
//           bare blocking receive loop on the same port. A run is --windows 6
//           pairs of windows of --count 2000 repeats, one every
//           --interval-us 100, bare and plugin taking turns; a run's figure
//           is the median of its windows and of its pairs' ratios;
//           --repetitions 5.
//   idle:   CPU of the plugin's host process over --seconds 10 without
//           datagrams; --repetitions 3.
// --build NAME names the build in the table; --wineserver PID adds that
// wineserver's CPU to the receiving side (under Wine it does some of every
// receive).
#include <signal.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/listener_cpu/proc_stats.h"
#include "bench/listener_cpu/receiver_process.h"
#include "bench/support/options.h"
#include "bench/support/summary.h"
#include "bench/support/table.h"
#include "tools/sender/udp_sender.h"

namespace {

using Clock = std::chrono::steady_clock;
const std::string kRepeated = "251000";  // the frequency the radio stays on
const std::string kChanged = "251500";   // ends a window

struct Setup {
  std::string build;
  pid_t wineserver = 0;
  std::vector<std::string> receiver;
};

void Send(UdpSender& sender, const std::string& datagram) {
  std::string error;
  if (!sender.Send("127.0.0.1", kDefaultFrequencyPort, datagram.data(), datagram.size(), &error)) {
    throw std::runtime_error(error);
  }
}

// CPU time of the receiving side so far: the process and, under Wine, its
// wineserver.
struct CpuSample {
  int64_t process = 0;
  int64_t wineserver = 0;
};

// One receiver process of a kind, receiving window by window.
class Receiver {
 public:
  Receiver(const Setup& setup, const std::string& kind)
      : setup_(setup), kind_(kind), process_(Command(setup, kind)) {}

  // Opens the port and sends the repeated frequency until the receiver has
  // taken it in; then it is back in its blocking receive, with the radio on
  // that frequency.
  void Open(UdpSender& sender) {
    process_.Tell("open");
    const auto deadline = Clock::now() + std::chrono::seconds(60);
    for (;;) {
      Send(sender, kRepeated);
      const std::string line = process_.ReadLine(std::chrono::milliseconds(5));
      if (line == "primed") break;
      if (!line.empty()) throw std::runtime_error(kind_ + " receiver said '" + line + "'");
      if (Clock::now() > deadline) throw std::runtime_error(kind_ + " receiver never primed");
    }
    // Primers still in flight are handled before anything is measured.
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (!checked_) {
      const std::string name = ProcessName(process_.pid());
      if (name.find("zovik_bench") == std::string::npos) {
        throw std::runtime_error("process " + std::to_string(process_.pid()) + " is '" + name +
                                 "', not the receiver: start it with no forking wrapper");
      }
      checked_ = true;
    }
  }

  void AwaitDone() { Expect("done", std::chrono::seconds(60)); }

  void Close() {
    process_.Tell("close");
    Expect("closed", std::chrono::seconds(30));
  }

  CpuSample Cpu() const {
    return {ProcessCpuNanoseconds(process_.pid()),
            setup_.wineserver > 0 ? ProcessCpuNanoseconds(setup_.wineserver) : 0};
  }

 private:
  static std::vector<std::string> Command(const Setup& setup, const std::string& kind) {
    std::vector<std::string> command = setup.receiver;
    command.push_back("receive");
    command.push_back(kind);
    return command;
  }
  void Expect(const std::string& word, std::chrono::milliseconds timeout) {
    const std::string line = process_.ReadLine(timeout);
    if (line != word) throw std::runtime_error(kind_ + " receiver said '" + line + "', not " + word);
  }

  const Setup& setup_;
  std::string kind_;
  ReceiverProcess process_;
  bool checked_ = false;
};

// Receiving-side CPU nanoseconds for `count` repeats sent `interval` apart,
// or nothing when the kernel dropped any of them.
std::optional<int64_t> RepeatWindow(Receiver& receiver, UdpSender& sender, int count,
                                    std::chrono::microseconds interval) {
  receiver.Open(sender);
  const int64_t errorsBefore = UdpReceiveErrors();
  const CpuSample before = receiver.Cpu();
  Clock::time_point last = Clock::now();
  for (int i = 0; i < count; ++i) {
    while (Clock::now() - last < interval) {
    }
    last = Clock::now();
    Send(sender, kRepeated);
  }
  Send(sender, kChanged);
  receiver.AwaitDone();
  const CpuSample after = receiver.Cpu();
  const int64_t dropped = UdpReceiveErrors() - errorsBefore;
  receiver.Close();
  // Only live threads are read: one that ended in the window took its time along.
  if (after.process < before.process) throw std::runtime_error("a receiving thread ended mid-window");
  if (dropped != 0) {
    std::fprintf(stderr, "%lld datagrams dropped by the kernel; window repeated\n",
                 static_cast<long long>(dropped));
    return std::nullopt;
  }
  return (after.process - before.process) + (after.wineserver - before.wineserver);
}

int64_t ValidRepeatWindow(Receiver& receiver, UdpSender& sender, int count,
                          std::chrono::microseconds interval) {
  for (int attempt = 0; attempt < 3; ++attempt) {
    if (const auto nanoseconds = RepeatWindow(receiver, sender, count, interval)) return *nanoseconds;
  }
  throw std::runtime_error("datagrams dropped in three windows in a row");
}

int RunSteady(const Setup& setup, const Options& options) {
  const int repetitions = options.Int("repetitions", 5);
  const int windows = options.Int("windows", 6);
  const int count = options.Int("count", 2000);
  const std::chrono::microseconds interval(options.Int("interval-us", 100));
  UdpSender sender;
  Receiver bare(setup, "bare");
  Receiver plugin(setup, "plugin");
  std::vector<double> bareMicroseconds;
  std::vector<double> pluginMicroseconds;
  std::vector<double> ratio;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    // Windows in pairs, next to each other in time: a neighbour's load on the
    // shared core falls on both halves of a pair alike.
    std::vector<double> bareWindows;
    std::vector<double> pluginWindows;
    std::vector<double> pairRatios;
    for (int window = 0; window < windows; ++window) {
      // Which goes first alternates, so a drift of the machine favours neither.
      int64_t b = 0;
      int64_t p = 0;
      if (window % 2 == 0) {
        b = ValidRepeatWindow(bare, sender, count, interval);
        p = ValidRepeatWindow(plugin, sender, count, interval);
      } else {
        p = ValidRepeatWindow(plugin, sender, count, interval);
        b = ValidRepeatWindow(bare, sender, count, interval);
      }
      bareWindows.push_back(static_cast<double>(b) / count / 1000);
      pluginWindows.push_back(static_cast<double>(p) / count / 1000);
      pairRatios.push_back(static_cast<double>(p) / static_cast<double>(b));
    }
    bareMicroseconds.push_back(SpreadOf(bareWindows).median);
    pluginMicroseconds.push_back(SpreadOf(pluginWindows).median);
    ratio.push_back(SpreadOf(pairRatios).median);
  }
  const std::string side = setup.wineserver > 0 ? ", process + wineserver" : "";
  const Spread ratioSpread = SpreadOf(ratio);
  TableRow row;
  row.figure = "1 Steady radio, CPU per repeated (dropped) datagram (" + std::to_string(windows) +
               " window pairs of " + std::to_string(count) + " a run, one every " +
               std::to_string(interval.count()) + " \xC2\xB5s)";
  row.build = setup.build;
  row.measured = "plugin listener" + side + ": " +
                 WithSpread(SpreadOf(pluginMicroseconds), 2, "\xC2\xB5s");
  row.baseline = "bare blocking recvfrom loop" + side + ": " +
                 WithSpread(SpreadOf(bareMicroseconds), 2, "\xC2\xB5s");
  row.result = WithSpread(ratioSpread, 3, "\xC3\x97");
  row.target = "\xE2\x89\xA4 1.1\xC3\x97";
  row.verdict = Verdict(ratioSpread.median <= 1.1);
  PrintRow(row);
  return 0;
}

int RunIdle(const Setup& setup, const Options& options) {
  const int repetitions = options.Int("repetitions", 3);
  const std::chrono::seconds window(options.Int("seconds", 10));
  UdpSender sender;
  Receiver plugin(setup, "plugin");
  std::vector<double> process;
  std::vector<double> wineserver;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    plugin.Open(sender);
    const CpuSample before = plugin.Cpu();
    std::this_thread::sleep_for(window);
    const CpuSample after = plugin.Cpu();
    plugin.Close();
    process.push_back(static_cast<double>(after.process - before.process) / 1000);
    wineserver.push_back(static_cast<double>(after.wineserver - before.wineserver) / 1000);
  }
  const Spread used = SpreadOf(process);
  TableRow row;
  row.figure = "4 Idle, CPU of the host process in " + std::to_string(window.count()) +
               " s without datagrams (plugin initialised and connected)";
  row.build = setup.build;
  row.measured = WithSpread(used, 0, "\xC2\xB5s");
  row.baseline = setup.wineserver > 0 ? "its wineserver in the same window: " +
                                            WithSpread(SpreadOf(wineserver), 0, "\xC2\xB5s")
                                      : "\xE2\x80\x94";
  row.result = WithSpread(used, 0, "\xC2\xB5s");
  row.target = "0";
  row.verdict = Verdict(used.max == 0);
  PrintRow(row);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGPIPE, SIG_IGN);  // a receiver that died is reported, not fatal here
  int separator = 2;
  while (separator < argc && std::strcmp(argv[separator], "--") != 0) ++separator;
  const std::string figure = argc > 1 ? argv[1] : "";
  if ((figure != "steady" && figure != "idle") || separator + 1 >= argc) {
    std::fprintf(stderr, "usage: zovik_bench_listener steady|idle [--name value]... -- COMMAND...\n");
    return 2;
  }
  try {
    const Options options(separator, argv, 2);
    Setup setup;
    setup.build = options.Text("build", ThisBuild());
    setup.wineserver = options.Int("wineserver", 0);
    setup.receiver.assign(argv + separator + 1, argv + argc);
    return figure == "steady" ? RunSteady(setup, options) : RunIdle(setup, options);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "zovik_bench_listener %s: %s\n", figure.c_str(), error.what());
    return 1;
  }
}
