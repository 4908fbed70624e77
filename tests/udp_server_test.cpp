// The listener over a socket that cannot be opened, or whose receive fails
// at once, again and again: it reports once, retries or backs off instead of
// spinning, and handles datagrams again once the socket works.
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
#include "testing/host_standin/simulated_host.h"
#include "tools/sender/udp_sender.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int kInjectedError = 10050;  // any error number will do

// The calls a replaced platform function got, for the test to wait on.
class RecordedCalls {
 public:
  void Record() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      times_.push_back(Clock::now());
    }
    called_.notify_all();
  }
  // The times of the first `count` calls, or nothing after 30 s without them.
  std::vector<Clock::time_point> WaitFor(size_t count) {
    std::unique_lock<std::mutex> guard(lock_);
    if (!called_.wait_for(guard, std::chrono::seconds(30),
                          [&] { return times_.size() >= count; })) {
      return {};
    }
    return {times_.begin(), times_.begin() + static_cast<std::ptrdiff_t>(count)};
  }

 private:
  std::mutex lock_;
  std::condition_variable called_;
  std::vector<Clock::time_point> times_;
};

std::atomic<bool> g_receiveFailing{true};
RecordedCalls g_receives;

UdpResult RecordedReceive(PlatformUdpSocket* socket, char* buffer, size_t capacity,
                          size_t* received, int* errorCode) {
  g_receives.Record();
  if (g_receiveFailing.load()) {
    *errorCode = kInjectedError;
    return UdpResult::kError;
  }
  return PlatformUdpReceive(socket, buffer, capacity, received, errorCode);
}

std::atomic<bool> g_openFailing{true};
RecordedCalls g_opens;

// Recorded once the open is over: after a recorded success the port is bound.
PlatformUdpSocket* RecordedOpen(uint16_t port, const char** stage, int* errorCode) {
  PlatformUdpSocket* socket = nullptr;
  if (g_openFailing.load()) {
    *stage = "watch the UDP socket for datagrams";
    *errorCode = kInjectedError;
  } else {
    socket = PlatformUdpOpen(port, stage, errorCode);
  }
  g_opens.Record();
  return socket;
}

// A recorded platform function in place for one test, the platform's own
// after it.
template <typename Function>
struct Replaced {
  Replaced(Function* seam, Function recorded) : seam(seam), original(*seam) { *seam = recorded; }
  ~Replaced() { *seam = original; }
  Function* seam;
  Function original;
};

// The simulated client on connection 1 with the store built from it.
SimulatedHost& HostWithStore() {
  SimulatedHost& host = SimulatedHost::Instance();
  host.Reset();
  g_ts3Functions = host.FunctionTable();
  host.Establish(1, DefaultChannels());
  g_channelsBase.Clear();
  EXPECT_GT(g_channelsBase.BuildDataBase(1), 0);
  return host;
}

// A datagram sent to the listener ends in a move of the user.
void ExpectMoveFor(SimulatedHost& host, const char* frequency) {
  UdpSender sender;
  std::string error;
  ASSERT_TRUE(sender.SendText(frequency, &error)) << error;
  EXPECT_TRUE(host.WaitForMoves(1, std::chrono::seconds(10)));
  EXPECT_EQ(host.CurrentChannel(1), 10u);
}

// A listener stopped however the test ends.
struct RunningListener {
  RunningListener() { server.Start(); }
  ~RunningListener() { server.Stop(); }
  UDPServer server;
};

TEST(UdpServerTest, FailingReceivesBackOffAndTheListenerRecovers) {
  LogInTempDirectory log(0);
  SimulatedHost& host = HostWithStore();
  Replaced<PlatformUdpReceiveFunction> replaced(&g_platformUdpReceive, &RecordedReceive);
  RunningListener listener;
  // Eight failures in a row: a listener that waits 10 ms after the first and
  // twice as long after each next one takes over a second; one that spins
  // takes microseconds.
  constexpr size_t kFailures = 8;
  const std::vector<Clock::time_point> calls = g_receives.WaitFor(kFailures);
  ASSERT_EQ(calls.size(), kFailures);
  EXPECT_GE(calls.back() - calls.front(), milliseconds(600));

  g_receiveFailing = false;
  ExpectMoveFor(host, "251000");
  g_channelsBase.Clear();
}

TEST(UdpServerTest, AFailedOpenIsReportedOnceAndRetriedUntilItWorks) {
  LogInTempDirectory log(0);
  SimulatedHost& host = HostWithStore();
  Replaced<PlatformUdpOpenFunction> replaced(&g_platformUdpOpen, &RecordedOpen);
  RunningListener listener;
  // Three failed opens: the first is reported, the two retries a second
  // apart are not.
  const std::vector<Clock::time_point> opens = g_opens.WaitFor(3);
  ASSERT_EQ(opens.size(), 3u);
  EXPECT_GE(opens.back() - opens.front(), milliseconds(1500));

  g_openFailing = false;
  ASSERT_EQ(g_opens.WaitFor(4).size(), 4u);
  ExpectMoveFor(host, "251000");
  const std::vector<std::string> expected = {
      "UDPServer : Cannot watch the UDP socket for datagrams on port 10500 (error 10050), "
      "retrying every second",
      "UDPServer : Thread UDP server started on 10500"};
  std::vector<std::string> messages;
  for (const std::string& message : log.Messages(0)) {
    if (message.starts_with("UDPServer : Cannot") || message.starts_with("UDPServer : Thread")) {
      messages.push_back(message);
    }
  }
  EXPECT_EQ(messages, expected);
  g_channelsBase.Clear();
}

}  // namespace
