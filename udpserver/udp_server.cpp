#include "udpserver/udp_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "udpserver/frequency_rule.h"

UDPServer g_udpServer;

namespace {

constexpr char kReceivedPrefix[] = "UDPServer : Received : ";
// The received text shown in one line: what fits a message buffer after the
// prefix, so a long datagram gives one whole line.
constexpr size_t kReceivedTextMax = kMessageBufferBytes - 1 - (sizeof kReceivedPrefix - 1);

constexpr int kBindRetryMilliseconds = 1000;
constexpr int kReceiveRetryMaxMilliseconds = 1000;

}  // namespace

UDPServer::~UDPServer() {
  if (thread_ != nullptr) PlatformThreadDetach(thread_);
}

void UDPServer::Start() {
  if (thread_ != nullptr) return;
  PlatformSocketsStartup();
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    stopRequested_ = false;
  }
  ResetLastSwitch();
  thread_ = PlatformThreadStart(
      [](void* server) {
        // Nothing may leave a thread body: out of memory for a log line ends
        // the listener, not the voice client.
        try {
          static_cast<UDPServer*>(server)->Run();
        } catch (...) {
        }
      },
      this);
  // Without a thread the plugin does nothing, as without a socket.
  if (thread_ == nullptr) PlatformSocketsCleanup();
}

void UDPServer::Stop() {
  if (thread_ == nullptr) return;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    stopRequested_ = true;
    if (socket_ != nullptr) PlatformUdpWake(socket_);
  }
  stateChanged_.notify_all();
  PlatformThreadJoin(thread_);
  thread_ = nullptr;
  PlatformUdpClose(socket_);
  socket_ = nullptr;
  PlatformSocketsCleanup();
}

void UDPServer::ResetLastSwitch() {
  lastFrequency_ = 0;  // outside the accepted range: nothing is a repeat
  lastTarget_ = 0;
  lastBuild_ = 0;
  lastGeneration_ = 0;
  notices_.Reset();
  std::memset(receiveArea_, 0, sizeof receiveArea_);
}

bool UDPServer::SleepUnlessStopped(int milliseconds) {
  std::unique_lock<std::mutex> guard(stateLock_);
  return !stateChanged_.wait_for(guard, std::chrono::milliseconds(milliseconds),
                                 [this] { return stopRequested_; });
}

void UDPServer::Run() {
  bool failureReported = false;
  for (;;) {
    const char* stage = "";
    int error = 0;
    PlatformUdpSocket* socket = g_platformUdpOpen(kPort, &stage, &error);
    if (socket != nullptr) {
      std::lock_guard<std::mutex> guard(stateLock_);
      socket_ = socket;
      // Stop may have come while the socket was being made; the wake makes
      // the first receive return at once.
      if (stopRequested_) PlatformUdpWake(socket_);
      break;
    }
    // Reported once; the retries stay quiet until the port is ours.
    if (!failureReported) {
      LogMessage(FormatLogMessage("UDPServer : Cannot %s on port %u (error %d), "
                                  "retrying every second",
                                  stage, static_cast<unsigned>(kPort), error),
                 0);
      failureReported = true;
    }
    if (!SleepUnlessStopped(kBindRetryMilliseconds)) return;
  }
  LogMessage("UDPServer : Thread UDP server started on 10500", 0);

  int failedReceives = 0;
  for (;;) {
    size_t received = 0;
    int error = 0;
    const UdpResult result =
        g_platformUdpReceive(socket_, receiveArea_, kReceiveBytes, &received, &error);
    if (result == UdpResult::kStopped) return;
    if (result == UdpResult::kError) {
      // Back off so that a socket failing at once every time never spins a core.
      const int wait = std::min(kReceiveRetryMaxMilliseconds, 10 << std::min(failedReceives, 7));
      ++failedReceives;
      if (!SleepUnlessStopped(wait)) return;
      continue;
    }
    failedReceives = 0;
    received = std::min(received, kReceiveBytes);
    receiveArea_[received] = '\0';
    try {
      HandleDatagram(receiveArea_, received);
    } catch (...) {
      // Out of memory for a log line or a store reference: this datagram is
      // lost, the listener and the voice client go on.
    }
  }
}

void UDPServer::HandleDatagram(const char* bytes, size_t length) {
  if (g_logFile.Wants(5)) {
    // The text as a C string would read it: up to its first NUL.
    const size_t textLength = std::min(strnlen(bytes, length), kReceivedTextMax);
    std::string message = kReceivedPrefix;
    message.append(bytes, textLength);
    LogMessage(message, 5);
  }

  const int32_t frequency = ParseFrequency(bytes, length);
  if (!IsAcceptedFrequency(frequency)) return;
  // The steady-radio path: a repeat of the last switch ends here, before any
  // allocation, lock or log line.
  if (frequency == lastFrequency_ && g_channelsBase.generation() == lastGeneration_) return;

  const ChannelName name = FrequencyToChannelName(frequency);
  std::shared_ptr<const CDB_snapshot> store = g_channelsBase.Current();
  if (frequency == lastFrequency_ && store != nullptr && store->build == lastBuild_) {
    // A live change elsewhere on the server: still the channel the pilot was
    // moved into (or has left by hand), so still a repeat.
    const CDB_item* target = store->FindFirst(name.view());
    if (target != nullptr && target->id == lastTarget_) {
      lastGeneration_ = store->generation;
      return;
    }
  }

  if (g_logFile.Wants(3)) {
    LogMessage(FormatLogMessage("UDPServer : Frequency received from DCS World : %u",
                                static_cast<unsigned>(frequency)),
               3);
  }
  if (store == nullptr || !store->ready) return;

  if (g_logFile.Wants(5)) {
    LogMessage(FormatLogMessage("UDPServer : Check channel [%s]", name.c_str()), 5);
  }

  const CDB_item* target = store->FindFirst(name.view());
  if (target == nullptr) {
    if (chatNotices_.load(std::memory_order_relaxed)) {
      NoticeMissingChannel(*store, frequency, name.view());
    }
    return;
  }
  // Only the first record of a name is tried; a refused move is retried when
  // the frequency next arrives.
  if (g_channelsBase.SwitchChannel(store->serverConnectionHandlerID, *target) != 1) return;

  if (g_logFile.Wants(2)) {
    LogMessage(FormatLogMessage("UDPServer : Swithed channel to [%s]", target->name.c_str()), 2);
  }
  lastFrequency_ = frequency;
  lastTarget_ = target->id;
  lastBuild_ = store->build;
  lastGeneration_ = store->generation;
}

void UDPServer::NoticeMissingChannel(const CDB_snapshot& store, int32_t frequency,
                                     std::string_view name) {
  const uint64_t connection = store.serverConnectionHandlerID;
  const auto now = MissingChannelNotices::Clock::now();
  switch (notices_.Decide(connection, frequency, now)) {
    case MissingChannelNotices::Verdict::kShow:
      // A line the client could not print is told when the frequency next
      // comes.
      if (HostPrintToServerTab(connection, MissingChannelNoticeText(frequency, name).c_str())) {
        notices_.Shown(connection, frequency, now);
      }
      break;
    case MissingChannelNotices::Verdict::kTooMany:
      if (g_logFile.Wants(3)) {
        LogMessage(FormatLogMessage("UDPServer : Too many chat notices, none for %u "
                                    "(%llu dropped so far)",
                                    static_cast<unsigned>(frequency),
                                    static_cast<unsigned long long>(notices_.dropped())),
                   3);
      }
      break;
    case MissingChannelNotices::Verdict::kShownBefore:
      break;
  }
}
