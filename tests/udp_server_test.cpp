// The listener over a socket whose receive fails at once, again and again:
// it backs off instead of spinning, and handles datagrams again once the
// receive works.
#include "udpserver/udp_server.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "platform/platform.h"
#include "tests/support/log_fixture.h"
#include "tools/host_standin/simulated_host.h"
#include "tools/sender/udp_sender.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kInjectedError = 10050;  // any error number will do

// Every receive the listener makes, and whether it fails.
std::atomic<bool> g_failing{true};
std::mutex g_callsLock;
std::condition_variable g_called;
std::vector<Clock::time_point> g_calls;

UdpResult RecordedReceive(PlatformUdpSocket* socket, char* buffer, size_t capacity,
                          size_t* received, int* errorCode) {
  {
    std::lock_guard<std::mutex> guard(g_callsLock);
    g_calls.push_back(Clock::now());
  }
  g_called.notify_all();
  if (g_failing.load()) {
    *errorCode = kInjectedError;
    return UdpResult::kError;
  }
  return PlatformUdpReceive(socket, buffer, capacity, received, errorCode);
}

// The recorded receive in place for one test, the platform's own after it.
struct ReceiveReplaced {
  ReceiveReplaced() { g_platformUdpReceive = &RecordedReceive; }
  ~ReceiveReplaced() { g_platformUdpReceive = &PlatformUdpReceive; }
};

// A listener stopped however the test ends.
struct RunningListener {
  RunningListener() { server.Start(); }
  ~RunningListener() { server.Stop(); }
  UDPServer server;
};

TEST(UdpServerTest, FailingReceivesBackOffAndTheListenerRecovers) {
  LogInTempDirectory log(0);
  SimulatedHost& host = SimulatedHost::Instance();
  host.Reset();
  g_ts3Functions = host.FunctionTable();
  host.SetChannels(1, DefaultChannels());
  g_channelsBase.Clear();
  ASSERT_GT(g_channelsBase.BuildDataBase(1), 0);

  ReceiveReplaced replaced;
  RunningListener listener;
  // Eight failures in a row: a listener that waits 10 ms after the first and
  // twice as long after each next one takes over a second; one that spins
  // takes microseconds.
  constexpr size_t kFailures = 8;
  std::vector<Clock::time_point> calls;
  {
    std::unique_lock<std::mutex> guard(g_callsLock);
    ASSERT_TRUE(g_called.wait_for(guard, std::chrono::seconds(30),
                                  [] { return g_calls.size() >= kFailures; }));
    calls = g_calls;
  }
  EXPECT_GE(calls[kFailures - 1] - calls[0], milliseconds(600));

  g_failing = false;
  UdpSender sender;
  std::string error;
  ASSERT_TRUE(sender.SendText("251000", &error)) << error;
  EXPECT_TRUE(host.WaitForMoves(1, std::chrono::seconds(10)));
  EXPECT_EQ(host.CurrentChannel(1), 10u);
  g_channelsBase.Clear();
}

}  // namespace
