// Radio change: the one-way latency from a datagram's send to the stand-in's
// requestClientMove, and beside it, in the same run and process, from a send
// to the return of a plain blocking recvfrom in another thread. Both ends
// read the same steady clock. Each change waits until the receiver is done
// with the one before (at log levels 3 and 5 it writes two lines after the
// move), so a sample never includes the tail of the one before.
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/plugin_runs/runs.h"
#include "bench/support/bare_receiver.h"
#include "bench/support/plugin_rig.h"
#include "bench/support/summary.h"
#include "bench/support/table.h"

namespace {

using Clock = std::chrono::steady_clock;

// The receiving side's timestamp, handed to the sender that waits for it.
class Arrival {
 public:
  void Stamp() {
    const Clock::time_point now = Clock::now();
    {
      std::lock_guard<std::mutex> guard(lock_);
      at_ = now;
      pending_ = true;
    }
    arrived_.notify_one();
  }
  Clock::time_point Wait() {
    std::unique_lock<std::mutex> guard(lock_);
    if (!arrived_.wait_for(guard, std::chrono::seconds(10), [this] { return pending_; })) {
      throw std::runtime_error("a change never arrived");
    }
    pending_ = false;
    return at_;
  }
  void Forget() {
    std::lock_guard<std::mutex> guard(lock_);
    pending_ = false;
  }

 private:
  std::mutex lock_;
  std::condition_variable arrived_;
  bool pending_ = false;
  Clock::time_point at_;
};

struct Settings {
  int changes;
  std::chrono::microseconds gap;  // after each arrival, for the receiver to finish
};

// The pause after each arrival: longer where the plugin logs after the move.
Settings AtLevel(const Options& options, int level) {
  const int gap = level >= 2 ? options.Int("tail-gap-us", 1000) : options.Int("gap-us", 200);
  return {options.Int("changes", 2000), std::chrono::microseconds(gap)};
}

// Microseconds from each send to its arrival, alternating two frequencies
// that both have channels.
std::vector<double> Latencies(UdpSender& sender, Arrival& arrival, const Settings& settings) {
  std::vector<double> samples;
  samples.reserve(static_cast<size_t>(settings.changes));
  for (int i = 0; i < settings.changes; ++i) {
    const std::string datagram = i % 2 == 0 ? "251000" : "251500";
    const Clock::time_point sent = Clock::now();
    SendDatagram(sender, datagram);
    const Clock::time_point arrived = arrival.Wait();
    samples.push_back(std::chrono::duration<double, std::micro>(arrived - sent).count());
    std::this_thread::sleep_for(settings.gap);
  }
  return samples;
}

std::vector<double> BareLatencies(UdpSender& sender, const Settings& settings) {
  Arrival arrival;
  BareReceiver receiver(10500);
  std::thread listener([&] {
    char buffer[576];
    for (;;) {
      const long length = receiver.Receive(buffer, sizeof buffer);
      if (length < 0 || (length == 4 && std::string(buffer, 4) == "stop")) return;
      arrival.Stamp();
    }
  });
  std::vector<double> samples;
  try {
    samples = Latencies(sender, arrival, settings);
  } catch (...) {
    SendDatagram(sender, "stop");
    listener.join();
    throw;
  }
  SendDatagram(sender, "stop");
  listener.join();
  return samples;
}

std::vector<double> PluginLatencies(PluginRig& rig, int level, const Settings& settings) {
  Arrival arrival;
  rig.Start(level, [&arrival](const MoveRequest&) { arrival.Stamp(); });
  // The listener is bound and has just switched to 251.5; the first change
  // measured goes to 251.000.
  rig.SendUntilMoved("251500");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  arrival.Forget();
  std::vector<double> samples = Latencies(rig.sender, arrival, settings);
  rig.Shutdown();
  rig.host.OnMove(nullptr);  // it points at this function's arrival
  return samples;
}

struct Percentiles {
  std::vector<double> p50, p99;
  void Add(const std::vector<double>& samples) {
    p50.push_back(Percentile(samples, 0.50));
    p99.push_back(Percentile(samples, 0.99));
  }
  std::string Text() const {
    return "p50 " + WithSpread(SpreadOf(p50), 1, "\xC2\xB5s") + " \xC2\xB7 p99 " +
           WithSpread(SpreadOf(p99), 1, "\xC2\xB5s");
  }
};

}  // namespace

int RunRadioChange(const Options& options) {
  const int repetitions = options.Int("repetitions", 5);
  constexpr int kLevels[] = {0, 3, 5};

  PluginRig rig;
  Percentiles bare;
  Percentiles plugin[3];
  std::vector<double> p99Overhead[3];
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    const std::vector<double> bareSamples = BareLatencies(rig.sender, AtLevel(options, 0));
    bare.Add(bareSamples);
    for (int i = 0; i < 3; ++i) {
      const std::vector<double> samples =
          PluginLatencies(rig, kLevels[i], AtLevel(options, kLevels[i]));
      plugin[i].Add(samples);
      p99Overhead[i].push_back(Percentile(samples, 0.99) - Percentile(bareSamples, 0.99));
    }
  }

  for (int i = 0; i < 3; ++i) {
    const Spread overhead = SpreadOf(p99Overhead[i]);
    TableRow row;
    row.figure = "2 Radio change, send \xE2\x86\x92 requestClientMove, log level " +
                 std::to_string(kLevels[i]) + " (" + std::to_string(options.Int("changes", 2000)) +
                 " changes a run)";
    row.build = ThisBuild();
    row.measured = plugin[i].Text();
    row.baseline = "bare recvfrom: " + bare.Text();
    row.result = "p99 \xE2\x88\x92 bare p99: " + WithSpread(overhead, 1, "\xC2\xB5s");
    if (kLevels[i] == 0) {
      row.target = "p99 \xE2\x89\xA4 bare + 50 \xC2\xB5s";
      row.verdict = Verdict(overhead.median <= 50);
    } else {
      row.target = "beside level 0";
      row.verdict = "reported";
    }
    PrintRow(row);
  }
  return 0;
}
