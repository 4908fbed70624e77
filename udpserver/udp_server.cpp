#include "udpserver/udp_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <string>

#include "channels/channels_base.h"
#include "host/client_api.h"
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
constexpr int64_t kFactsNoticeMilliseconds = 1000;

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
  std::lock_guard<std::mutex> guard(switchLock_);
  // Outside the accepted range: nothing is a repeat.
  lastFrequency_.store(0, std::memory_order_relaxed);
  lastTarget_ = 0;
  lastBuild_ = 0;
  lastGeneration_.store(0, std::memory_order_relaxed);
  notices_.Reset();
  // No listener runs here: its own state starts over with the rest.
  leftAircraft_ = false;
  radioFrequency_.store(0, std::memory_order_relaxed);
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
  if (kFixedPluginApiVersion == 0) {
    lastDatagramMs_.store(PlatformCoarseMilliseconds(), std::memory_order_relaxed);
    // A change that came too soon after the last refresh is told now: the
    // game side's resends come every few seconds.
    if (factsPending_.load(std::memory_order_relaxed)) NoteFactsChanged();
  }

  const int32_t frequency = ParseFrequency(bytes, length);
  if (!IsAcceptedFrequency(frequency)) {
    // The fixed API 20 build refuses "0" as any other text, as it always did.
    if (kFixedPluginApiVersion == 0 && IsLeaveAircraft(bytes, length)) LeaveAircraft();
    return;
  }
  if (kFixedPluginApiVersion == 0) {
    radioFrequency_.store(frequency, std::memory_order_relaxed);
    leftAircraft_ = false;
  }
  // The steady-radio path: a repeat of the last switch ends here, before any
  // allocation, lock or log line.
  if (frequency == lastFrequency_.load(std::memory_order_relaxed) &&
      g_channelsBase.generation() == lastGeneration_.load(std::memory_order_relaxed)) {
    return;
  }
  std::lock_guard<std::mutex> guard(switchLock_);
  Follow(frequency, true);
}

void UDPServer::LeaveAircraft() {
  if (leftAircraft_) return;  // the game side repeats it while it lasts
  leftAircraft_ = true;
  radioFrequency_.store(0, std::memory_order_relaxed);
  {
    // A new flight starts: its first frequency counts even when it is the
    // last switch's.
    std::lock_guard<std::mutex> guard(switchLock_);
    lastFrequency_.store(0, std::memory_order_relaxed);
  }
  LogMessage("UDPServer : The pilot left the aircraft", 2);
  NoteFactsChanged();
  if (onLeaveAircraft_ != nullptr) onLeaveAircraft_();
}

UDPServer::Outcome UDPServer::Follow(int32_t frequency, bool logReceived) {
  const ChannelName name = FrequencyToChannelName(frequency);
  std::shared_ptr<const CDB_snapshot> store = g_channelsBase.Current();
  const int32_t last = lastFrequency_.load(std::memory_order_relaxed);
  if (frequency == last &&
      g_channelsBase.generation() == lastGeneration_.load(std::memory_order_relaxed)) {
    return Outcome::kAlreadyThere;
  }
  if (frequency == last && store != nullptr && store->build == lastBuild_) {
    // A live change elsewhere on the server: still the channel the pilot was
    // moved into (or has left by hand), so still a repeat.
    const CDB_item* target = store->FindFirst(name.view());
    if (target != nullptr && target->id == lastTarget_) {
      lastGeneration_.store(store->generation, std::memory_order_relaxed);
      return Outcome::kAlreadyThere;
    }
  }

  if (logReceived && g_logFile.Wants(3)) {
    LogMessage(FormatLogMessage("UDPServer : Frequency received from DCS World : %u",
                                static_cast<unsigned>(frequency)),
               3);
  }
  if (kFixedPluginApiVersion == 0) NoteFactsChanged();
  if (store == nullptr || !store->ready) return Outcome::kNotConnected;
  if (kFixedPluginApiVersion == 0 && paused_.load(std::memory_order_acquire)) {
    if (g_logFile.Wants(3)) LogMessage("UDPServer : Paused, the channel stays", 3);
    return Outcome::kAlreadyThere;
  }

  if (g_logFile.Wants(5)) {
    LogMessage(FormatLogMessage("UDPServer : Check channel [%s]", name.c_str()), 5);
  }

  const CDB_item* target = store->FindFirst(name.view());
  if (target == nullptr) {
    if (chatNotices_.load(std::memory_order_relaxed)) {
      NoticeMissingChannel(*store, frequency, name.view());
    }
    return Outcome::kNoChannel;
  }
  // Only the first record of a name is tried; a refused move is retried when
  // the frequency next arrives. Where the pilot was before ZOVIK first moved
  // him on this connection is asked with the ID the move asks for anyway.
  const bool noteHome = kFixedPluginApiVersion == 0 && homeBuild_ != store->build;
  uint64_t channelBefore = 0;
  anyID own = 0;
  if (g_channelsBase.SwitchChannel(store->serverConnectionHandlerID, *target, &own,
                                   noteHome ? &channelBefore : nullptr) != 1) {
    return Outcome::kNotConnected;
  }
  if (noteHome && channelBefore != 0) {
    homeChannel_ = channelBefore;
    homeBuild_ = store->build;
    homeConnection_ = store->serverConnectionHandlerID;
  }
  if (kFixedPluginApiVersion == 0) {
    ownClient_.store(static_cast<uint32_t>(own) | kOwnClientKnown, std::memory_order_relaxed);
  }

  if (g_logFile.Wants(2)) {
    LogMessage(FormatLogMessage("UDPServer : Swithed channel to [%s]", target->name.c_str()), 2);
  }
  lastFrequency_.store(frequency, std::memory_order_relaxed);
  lastTarget_ = target->id;
  lastBuild_ = store->build;
  lastGeneration_.store(store->generation, std::memory_order_relaxed);
  return Outcome::kMoved;
}

void UDPServer::SetPaused(bool paused) {
  if (paused_.exchange(paused, std::memory_order_acq_rel) != paused) NoteFactsChanged();
}

UDPServer::Outcome UDPServer::FollowRadioNow() {
  const int32_t frequency = radioFrequency_.load(std::memory_order_relaxed);
  if (!IsAcceptedFrequency(frequency)) return Outcome::kAlreadyThere;
  std::lock_guard<std::mutex> guard(switchLock_);
  return Follow(frequency, false);
}

UDPServer::Outcome UDPServer::MoveBack(uint64_t* channel) {
  std::lock_guard<std::mutex> guard(switchLock_);
  const std::shared_ptr<const CDB_snapshot> store = g_channelsBase.Current();
  if (store == nullptr || !store->ready) return Outcome::kNotConnected;
  if (homeBuild_ != store->build || homeConnection_ != store->serverConnectionHandlerID) {
    return Outcome::kNothingNoted;
  }
  std::string name;
  if (!HostGetChannelName(homeConnection_, homeChannel_, &name)) return Outcome::kChannelGone;
  *channel = homeChannel_;
  anyID own = 0;
  if (g_ts3Functions.getClientID == nullptr || g_ts3Functions.requestClientMove == nullptr ||
      g_ts3Functions.getClientID(homeConnection_, &own) != kHostOk ||
      g_ts3Functions.requestClientMove(homeConnection_, own, homeChannel_, "", nullptr) !=
          kHostOk) {
    LogMessage("UDPServer : Cannot move back to the pilot's channel", 0);
    return Outcome::kNotConnected;
  }
  LogMessage(FormatLogMessage("UDPServer : Back to channel %llu",
                              static_cast<unsigned long long>(homeChannel_)),
             2);
  // The radio's frequency now counts as a repeat, as after a move by hand:
  // the pilot stays until the knob turns.
  const int32_t radio = radioFrequency_.load(std::memory_order_relaxed);
  if (IsAcceptedFrequency(radio)) {
    const CDB_item* target = store->FindFirst(FrequencyToChannelName(radio).view());
    lastFrequency_.store(radio, std::memory_order_relaxed);
    lastTarget_ = target != nullptr ? target->id : 0;
    lastBuild_ = store->build;
    lastGeneration_.store(store->generation, std::memory_order_relaxed);
  }
  NoteFactsChanged();
  return Outcome::kMoved;
}

UDPServer::Facts UDPServer::CurrentFacts() const {
  Facts facts;
  facts.paused = paused_.load(std::memory_order_acquire);
  facts.radioFrequency = radioFrequency_.load(std::memory_order_relaxed);
  const int64_t at = lastDatagramMs_.load(std::memory_order_relaxed);
  facts.anyDatagram = at >= 0;
  facts.millisecondsSinceDatagram = facts.anyDatagram ? PlatformCoarseMilliseconds() - at : 0;
  facts.leftAircraft = facts.anyDatagram && facts.radioFrequency == 0;
  return facts;
}

void UDPServer::NoteFactsChanged() {
  if (onFactsChanged_ == nullptr) return;
  const int64_t now = PlatformCoarseMilliseconds();
  int64_t last = lastFactsNoticeMs_.load(std::memory_order_relaxed);
  if (now - last < kFactsNoticeMilliseconds) {
    factsPending_.store(true, std::memory_order_relaxed);
    return;
  }
  // Of two threads that both find a second gone by, one asks.
  if (lastFactsNoticeMs_.compare_exchange_strong(last, now, std::memory_order_relaxed)) {
    factsPending_.store(false, std::memory_order_relaxed);
    onFactsChanged_();
  }
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
