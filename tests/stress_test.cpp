// The real plugin under load and faults: a flood of datagrams while the store
// is rebuilt and the client fails at random, many load/start/stop/unload
// cycles, a log that cannot be written, and a port another process holds.
// Every test ends by itself, bounded in count and time, on loopback only.
// The figures go to stdout as "STRESS:" and "LIFECYCLE:" lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/child_process.h"
#include "tests/support/log_lines.h"
#include "tests/support/plugin_session.h"
#include "tests/support/process_counts.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr char kSwitchedPrefix[] = "UDPServer : Swithed channel to [";
constexpr char kConnected[] = "onConnectStatusChangeEvent : Client connected";
constexpr char kHoldPortArgument[] = "--hold-port";

// A frequency of the stand-in's default server and the channel it names.
struct Radio {
  const char* datagram;
  uint64_t channel;
};
constexpr Radio kRadios[] = {{"251000", 10}, {"251500", 11}, {"251250", 12},
                             {"127525", 13}, {"124000", 14}, {"30050", 15},
                             {"399999", 16}, {"225000", 17}, {"243500", 18}};
// A frequency whose channel the flood never names.
constexpr Radio kMarker = {"123456", 99};
constexpr char kMarkerChannelName[] = "123.456";

// A host function the plugin reports at level 0 when it fails, and the report.
struct ReportedFailure {
  HostFunction function;
  const char* message;
};
constexpr ReportedFailure kReportedFailures[] = {
    {HostFunction::kGetChannelList, "CChannelsBase::BuildDataBase : Error getting channel list"},
    {HostFunction::kGetChannelVariableAsString,
     "CChannelsBase::BuildDataBase : Error getting channel name"},
    {HostFunction::kGetClientID, "CChannelsBase::SwitchChannel : Error querying own client ID"},
    {HostFunction::kRequestClientMove,
     "CChannelsBase::SwitchChannel : Error moving client into channel channel"},
};

size_t CountMessages(const std::vector<std::string>& lines, int level, const std::string& message) {
  const std::vector<std::string> messages = Messages(lines, level);
  return static_cast<size_t>(std::count(messages.begin(), messages.end(), message));
}

size_t CountPrefixed(const std::vector<std::string>& lines, const std::string& prefix) {
  return static_cast<size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& l) {
    return MessageOf(l).rfind(prefix, 0) == 0;
  }));
}

// The first line without the "[date time][Lnn] " shape, or empty.
std::string FirstBrokenLine(const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    if (!HasLogPrefix(line)) return line.empty() ? "<empty line>" : line;
  }
  return {};
}

bool WaitUntil(const std::function<bool()>& done, milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!done()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(milliseconds(10));
  }
  return true;
}

// Sends `radio` again and again, as the simulator does, until the client
// sits in its channel on connection 1.
bool SendUntilIn(PluginSession& session, const Radio& radio) {
  const auto deadline = Clock::now() + seconds(10);
  while (Clock::now() < deadline) {
    const size_t moves = session.host.Moves().size();
    session.Send(radio.datagram);
    // Woken by the next move, which may still be one of an earlier datagram.
    session.host.WaitForMoves(moves + 1, milliseconds(40));
    if (session.host.CurrentChannel(1) == radio.channel) return true;
  }
  return false;
}

// ---- Flood under faults ------------------------------------------------------

constexpr int kDefaultDatagrams = 200000;
constexpr size_t kLargestDatagram = 65507;  // the most an IPv4 UDP datagram carries
constexpr int kValidEvery = 50;             // every 50th datagram is a real frequency
constexpr double kFailureRate = 0.1;
constexpr uint32_t kSeed = 251000;
// Far above what the default count needs anywhere; a run that reaches it
// fails and asks for a lower count.
constexpr auto kFloodTimeLimit = seconds(150);

// ZOVIK_STRESS_DATAGRAMS lowers the count for slow builds.
int DatagramCount() {
  const char* text = std::getenv("ZOVIK_STRESS_DATAGRAMS");
  const int count = text == nullptr ? 0 : std::atoi(text);
  return count > 0 ? count : kDefaultDatagrams;
}

TEST(Stress, FloodWhileTheStoreIsRebuiltAndTheClientFails) {
  const int datagrams = DatagramCount();
  PluginSession session(3, true, "zovik-flood");
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForListener());
  // Connection 1 and its channels never change, so every refusal the client
  // reports is an injected one.
  session.host.SetChannels(1, DefaultChannels());
  session.Connect();
  int connects = 1;
  session.host.SetFailureRate(kFailureRate, kSeed);

  // The client's thread: a connection event every few milliseconds.
  std::atomic<bool> flooding{true};
  std::thread rebuilder([&] {
    while (flooding.load()) {
      session.Connect();
      ++connects;
      std::this_thread::sleep_for(milliseconds(3));
    }
  });

  std::mt19937 random(kSeed);
  // Random datagrams are random slices of one random pool: as random for the
  // plugin, and cheap enough to send hundreds of thousands.
  std::vector<char> pool(4 * kLargestDatagram);
  for (char& byte : pool) byte = static_cast<char>(random());
  std::uniform_int_distribution<size_t> lengthOf(0, kLargestDatagram);
  std::uniform_int_distribution<size_t> radioOf(0, std::size(kRadios) - 1);
  UdpSender sender;
  std::string error;
  int sent = 0;
  const auto started = Clock::now();
  for (; sent < datagrams && Clock::now() - started < kFloodTimeLimit; ++sent) {
    bool ok;
    if (sent % kValidEvery == kValidEvery - 1) {
      const std::string text = kRadios[radioOf(random)].datagram;
      ok = sender.Send("127.0.0.1", kDefaultFrequencyPort, text.data(), text.size(), &error);
    } else {
      const size_t length = lengthOf(random);
      const size_t offset = std::uniform_int_distribution<size_t>(0, pool.size() - length)(random);
      ok = sender.Send("127.0.0.1", kDefaultFrequencyPort, pool.data() + offset, length, &error);
    }
    if (!ok) break;
  }
  const double floodSeconds = std::chrono::duration<double>(Clock::now() - started).count();
  flooding = false;
  rebuilder.join();
  ASSERT_TRUE(error.empty()) << "datagram " << sent << ": " << error;
  ASSERT_EQ(sent, datagrams) << "time limit reached; lower ZOVIK_STRESS_DATAGRAMS";

  // The faults end; a last build may have been cut short, so the client
  // connects once more, to a server with the marker's channel added, and a
  // frequency other than the last switch must move.
  session.host.SetFailureRate(0, kSeed);
  std::vector<SimulatedChannel> channels = DefaultChannels();
  channels.push_back({kMarker.channel, kMarkerChannelName});
  session.host.SetChannels(1, channels);
  session.Connect();
  ++connects;
  // The flood is worked off once the marker, sent after it, has moved the
  // client: one thread takes the datagrams in order, and no other datagram
  // names the marker's channel.
  ASSERT_TRUE(SendUntilIn(session, kMarker)) << "the listener never worked off the flood";
  const size_t floodMoves = session.host.Moves().size();
  const uint64_t lastChannel = session.host.CurrentChannel(1);
  const Radio& last = *std::find_if(std::begin(kRadios), std::end(kRadios),
                                    [&](const Radio& r) { return r.channel != lastChannel; });
  EXPECT_TRUE(SendUntilIn(session, last)) << last.datagram;
  session.Shutdown();  // the listener has written its last line when this returns

  const std::vector<MoveRequest> moves = session.host.Moves();
  ASSERT_GT(moves.size(), floodMoves);
  EXPECT_EQ(moves.back().channel, last.channel);

  const std::vector<std::string> lines = session.LogLines();
  EXPECT_EQ(FirstBrokenLine(lines), "");
  std::string faults;
  for (const ReportedFailure& failure : kReportedFailures) {
    const int injected = session.host.FailuresInjected(failure.function);
    const char* name = HostFunctionName(failure.function);
    EXPECT_GT(injected, 0) << "the flood never reached " << name;
    EXPECT_EQ(CountMessages(lines, 0, failure.message), static_cast<size_t>(injected)) << name;
    faults += std::string(" faults_") + name + "=" + std::to_string(injected);
  }
  // At level 3 every accepted move is reported once and a refused one never.
  EXPECT_EQ(CountPrefixed(lines, kSwitchedPrefix), moves.size());
  EXPECT_EQ(CountMessages(lines, 0, kConnected), static_cast<size_t>(connects));
  EXPECT_EQ(session.host.OutstandingAllocations(), 0);
  EXPECT_EQ(session.host.ForeignFrees(), 0);

  std::printf("STRESS: datagrams=%d valid=%d seconds=%.1f rebuilds=%d moves=%zu%s log_lines=%zu\n",
              sent, sent / kValidEvery, floodSeconds, connects, moves.size(), faults.c_str(),
              lines.size());
  std::fflush(stdout);
}

// ---- Lifecycle cycles ----------------------------------------------------------

#ifdef _WIN32
constexpr int kCycles = 50;  // a cycle under Wine takes several times as long as natively
#else
constexpr int kCycles = 200;
#endif

// Load, init, connect, wait for the listener, one move, shutdown, unload.
void RunCycle(PluginSession& session) {
  ASSERT_TRUE(session.Load());
  ASSERT_EQ(session.Init(), 0);
  session.Connect();
  ASSERT_TRUE(session.WaitForListener());
  ASSERT_TRUE(session.SendAndWaitForMove("251000"));
  session.Shutdown();
  session.Unload();
}

TEST(Stress, LoadStartStopUnloadCyclesLeaveNothingBehind) {
  PluginSession session(0, true, "zovik-cycles");
  session.host.SetChannels(1, DefaultChannels());
  // One cycle before counting, so that what the test side makes once and
  // keeps stays out of the figures: the stand-in's wait for moves makes its
  // condition variable's semaphores on first use, and GoogleTest on Windows
  // starts a watcher thread (and keeps a handle of this thread) the first
  // time this thread traces. A leak of the plugin's shows in every cycle.
  {
    SCOPED_TRACE("warm-up");
    RunCycle(session);
  }
  ASSERT_FALSE(HasFatalFailure());
  const int threadsBefore = CountOwnThreads();
  const int handlesBefore = CountOwnHandles();
  ASSERT_GT(threadsBefore, 0);
  ASSERT_GT(handlesBefore, 0);
  for (int cycle = 0; cycle < kCycles; ++cycle) {
    SCOPED_TRACE(cycle);
    RunCycle(session);
    ASSERT_FALSE(HasFatalFailure());
  }
  const int threadsAfter = CountOwnThreads();
  const int handlesAfter = CountOwnHandles();
  std::printf("LIFECYCLE: cycles=%d threads_before=%d threads_after=%d handles_before=%d "
              "handles_after=%d\n",
              kCycles, threadsBefore, threadsAfter, handlesBefore, handlesAfter);
  std::fflush(stdout);
  EXPECT_EQ(threadsAfter, threadsBefore);
  EXPECT_EQ(handlesAfter, handlesBefore);
  EXPECT_EQ(session.host.Moves().size(), static_cast<size_t>(kCycles) + 1);
  EXPECT_EQ(session.host.OutstandingAllocations(), 0);  // every list and name released
  EXPECT_EQ(session.host.ForeignFrees(), 0);
}

// ---- Log that cannot be written -----------------------------------------------

fs::path LogFolder(const PluginSession& session) { return session.directory.path() / "zovik_plugin"; }
fs::path LogFile(const PluginSession& session) { return PathFromUtf8(session.LogPath()); }

// A way of taking the log away while the plugin runs, and of giving it back.
struct LogSabotage {
  const char* what;
  void (*spoil)(const PluginSession&);
  void (*mend)(const PluginSession&);
};
const LogSabotage kSabotages[] = {
    {"log folder removed", [](const PluginSession& s) { fs::remove_all(LogFolder(s)); },
     [](const PluginSession& s) { fs::create_directory(LogFolder(s)); }},
    // Root writes to any file whatever its mode; a directory cannot be appended to.
    {"log file replaced by a directory",
     [](const PluginSession& s) {
       fs::remove(LogFile(s));
       fs::create_directory(LogFile(s));
     },
     [](const PluginSession& s) { fs::remove(LogFile(s)); }},
};

TEST(Stress, SwitchingGoesOnWhileTheLogCannotBeWritten) {
  for (const LogSabotage& sabotage : kSabotages) {
    SCOPED_TRACE(sabotage.what);
    PluginSession session(3, true, "zovik-log-gone");
    ASSERT_TRUE(session.StartConnected());
    ASSERT_TRUE(session.SendAndWaitForMove("251000"));

    sabotage.spoil(session);
    // Lines from both threads fail now: the listener's and the client's.
    for (const char* datagram : {"251500", "127525"}) {
      EXPECT_TRUE(session.SendUntilMoved(datagram)) << datagram;
    }
    session.Connect();
    EXPECT_TRUE(session.SendUntilMoved("243500"));
    EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{10, 11, 13, 18}));

    // Lines are written again the moment the file can be.
    sabotage.mend(session);
    ASSERT_TRUE(session.SendUntilMoved("251000"));
    EXPECT_TRUE(session.WaitForLogMessage(std::string(kSwitchedPrefix) + Fr("251") + "]"));
    EXPECT_EQ(FirstBrokenLine(session.LogLines()), "");
  }
}

// ---- Port held by another process ------------------------------------------------

// How long an orphaned holder waits at most before it lets the port go by
// itself; the test kills it long before.
constexpr int kHoldSecondsAtMost = 120;
#ifdef _WIN32
constexpr int kAddressInUse = 10048;  // WSAEADDRINUSE
#else
constexpr int kAddressInUse = 98;  // EADDRINUSE
#endif

// The child's side: binds the port, says so by creating `readyFile` and
// holds the port until it is killed, or at most `seconds` (exit 0; 2 when
// the port never became free).
int HoldPort(int seconds, const std::string& readyFile) {
  PlatformSocketsStartup();
  PlatformUdpSocket* socket = nullptr;
  // An earlier test's listener may still be letting the port go.
  for (int attempt = 0; socket == nullptr && attempt < 100; ++attempt) {
    const char* stage = "";
    int error = 0;
    socket = PlatformUdpOpen(kDefaultFrequencyPort, &stage, &error);
    if (socket == nullptr) std::this_thread::sleep_for(milliseconds(100));
  }
  if (socket == nullptr) return 2;
  std::ofstream(PathFromUtf8(readyFile)) << "holding\n";
  std::this_thread::sleep_for(std::chrono::seconds(seconds));
  PlatformUdpClose(socket);
  PlatformSocketsCleanup();
  return 0;
}

TEST(Stress, PortHeldByAnotherProcessIsTakenOnceFree) {
  TempDirectory scratch("zovik-holder");
  const std::string ready = scratch.PluginPath() + "holding";
  ChildProcess holder;
  std::string error;
  ASSERT_TRUE(holder.Start({kHoldPortArgument, std::to_string(kHoldSecondsAtMost), ready}, &error))
      << error;
  ASSERT_TRUE(WaitUntil([&] { return fs::exists(PathFromUtf8(ready)); }, seconds(20)))
      << "the child never held the port";

  PluginSession session(0, true, "zovik-port");
  ASSERT_TRUE(session.Start());
  session.host.SetChannels(1, DefaultChannels());
  session.Connect();
  const std::string busy = "UDPServer : Cannot bind the UDP socket on port 10500 (error " +
                           std::to_string(kAddressInUse) + "), retrying every second";
  ASSERT_TRUE(session.WaitForLogMessage(busy));
  EXPECT_FALSE(session.WaitForListener(milliseconds(0)));
  EXPECT_EQ(holder.Wait(milliseconds(0)), -1) << "the holder let go before it was told";

  holder.Kill();
  ASSERT_TRUE(session.WaitForListener());
  ASSERT_TRUE(session.SendAndWaitForMove("251000"));
  session.Shutdown();

  // Reported once however many retries it took, then the start.
  const std::vector<std::string> messages = Messages(session.LogLines(), 0);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), busy), 1);
  EXPECT_EQ(std::count(messages.begin(), messages.end(), PluginSession::kListenerStarted), 1);
  EXPECT_LT(std::find(messages.begin(), messages.end(), busy),
            std::find(messages.begin(), messages.end(), PluginSession::kListenerStarted));
}

}  // namespace

// `--hold-port SECONDS READY_FILE` makes this program the port's other holder.
int main(int argc, char** argv) {
  if (argc == 4 && std::string(argv[1]) == kHoldPortArgument) {
    return HoldPort(std::atoi(argv[2]), argv[3]);
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
