// Shutdown: how long ts3plugin_shutdown takes to return while the listener
// waits in its receive, over init/shutdown cycles of one loaded library.
#include <chrono>
#include <thread>
#include <vector>

#include "bench/plugin_runs/runs.h"
#include "bench/support/plugin_rig.h"
#include "bench/support/summary.h"
#include "bench/support/table.h"

int RunShutdown(const Options& options) {
  const int repetitions = options.Int("repetitions", 5);
  const int cycles = options.Int("cycles", 100);

  PluginRig rig;
  std::vector<double> p50;
  std::vector<double> p99;
  for (int repetition = 0; repetition < repetitions; ++repetition) {
    std::vector<double> milliseconds;
    for (int cycle = 0; cycle < cycles; ++cycle) {
      rig.Start(0);
      // A move proves the listener bound and receiving; the pause lets it
      // return to the blocking receive.
      rig.SendUntilMoved("251000");
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      const auto begin = std::chrono::steady_clock::now();
      rig.Shutdown();
      const auto end = std::chrono::steady_clock::now();
      milliseconds.push_back(std::chrono::duration<double, std::milli>(end - begin).count());
    }
    p50.push_back(Percentile(milliseconds, 0.50));
    p99.push_back(Percentile(milliseconds, 0.99));
  }

  const Spread worst = SpreadOf(p99);
  TableRow row;
  row.figure = "5 Shutdown, ts3plugin_shutdown returns (" + std::to_string(cycles) +
               " init/shutdown cycles a run)";
  row.build = ThisBuild();
  row.measured = "p50 " + WithSpread(SpreadOf(p50), 3, "ms") + " \xC2\xB7 p99 " +
                 WithSpread(worst, 3, "ms");
  row.baseline = "\xE2\x80\x94";
  row.result = "p99 " + WithSpread(worst, 3, "ms");
  row.target = "p99 \xE2\x89\xA4 20 ms";
  row.verdict = Verdict(worst.median <= 20);
  PrintRow(row);
  return 0;
}
