// The plugin's main loop: a thread that receives the simulator's frequency
// datagrams on UDP port 10500 and has the channel store move the user into
// the channel named after each new frequency.
#pragma once

#include <atomic>
#include <climits>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

#include "host/ts3_plugin_api.h"
#include "udpserver/missing_channel_notice.h"

struct CDB_snapshot;
struct PlatformThread;
struct PlatformUdpSocket;

class UDPServer {
 public:
  static constexpr uint16_t kPort = 10500;
  static constexpr size_t kReceiveBytes = 576;  // a datagram's first bytes that are read

  // The client stops the plugin before unloading it. If it did not, joining
  // here would run under the loader's lock (a deadlock), so the listener is
  // let go and dies with the process.
  ~UDPServer();

  // Host's thread, from ts3plugin_init: starts the listener thread and
  // returns at once. Does nothing while a listener already runs.
  void Start();

  // Host's thread, from ts3plugin_shutdown: wakes the listener, waits for it
  // and closes its socket, so the port is free when this returns.
  void Stop();

  // The listener thread's body: binds (retrying once a second while the port
  // is taken), then handles datagrams until Stop.
  void Run();

  // Listener thread: everything done with one received datagram, given
  // exactly the bytes received (at most kReceiveBytes).
  void HandleDatagram(const char* bytes, size_t length);

  // Forgets the last switch, the notices shown and what the radio last said,
  // as at a new start. Only while no listener runs.
  void ResetLastSwitch();

  // Any thread: connection `connection` changed status; the frequencies told
  // in its chat may be told again.
  void ForgetNotices(uint64_t connection) { notices_.ForgetConnection(connection); }

  // Whether a frequency without a channel is told in the chat of the
  // followed connection's tab. Set before Start, on the host's thread.
  void SetChatNotices(bool on) { chatNotices_.store(on, std::memory_order_relaxed); }

  // --- The pilot's controls (the package library only). ---

  // Called on the listener thread when the game side says the pilot left
  // his aircraft, once per departure. Set before Start; null: nothing.
  void SetOnLeaveAircraft(void (*handler)()) { onLeaveAircraft_ = handler; }
  // Called, at most once a second, when what the status shows has changed.
  // Set before Start; null: nothing.
  void SetOnFactsChanged(void (*handler)()) { onFactsChanged_ = handler; }

  // While paused nothing moves the pilot; datagrams are still read and logged.
  // Any thread.
  void SetPaused(bool paused);
  bool paused() const { return paused_.load(std::memory_order_acquire); }

  enum class Outcome {
    kMoved,          // the pilot was asked into the channel
    kAlreadyThere,   // nothing to do: the last switch, or no frequency yet
    kNoChannel,      // the frequency's channel is missing
    kNotConnected,   // no store to follow, or the client refused the move
    kNothingNoted,   // back: no move made on this connection yet
    kChannelGone,    // back: the noted channel no longer exists
  };
  // Client's thread: the radio's last frequency counts now, as if it had
  // just arrived (resume).
  Outcome FollowRadioNow();
  // Any thread: moves the pilot into the channel he was in before the first
  // move on this connection; the radio's frequency then counts as a repeat.
  // `*channel` is that channel on success.
  Outcome MoveBack(uint64_t* channel);

  struct Facts {
    bool paused = false;
    int32_t radioFrequency = 0;  // 0: none yet, or the pilot left the aircraft
    bool leftAircraft = false;
    bool anyDatagram = false;
    int64_t millisecondsSinceDatagram = 0;
  };
  // Any thread; built only when the pilot asks.
  Facts CurrentFacts() const;

  // The own client's ID as the last move found it; false before any move.
  // Any thread.
  bool OwnClient(anyID* id) const {
    const uint32_t value = ownClient_.load(std::memory_order_relaxed);
    *id = static_cast<anyID>(value);
    return (value & kOwnClientKnown) != 0;
  }

 private:
  // Blocks the listener for `milliseconds` or until Stop; false on Stop.
  bool SleepUnlessStopped(int milliseconds);
  // Everything after the fast repeat test: moves the pilot to `frequency`'s
  // channel unless that is a repeat. switchLock_ held.
  Outcome Follow(int32_t frequency, bool logReceived);
  void NoteFactsChanged();
  // Listener thread: the game side's "0".
  void LeaveAircraft();
  // Tells the pilot that `frequency`'s channel `name` is missing in `store`.
  void NoticeMissingChannel(const CDB_snapshot& store, int32_t frequency, std::string_view name);

  PlatformThread* thread_ = nullptr;  // host's thread only
  std::mutex stateLock_;  // guards stopRequested_ and socket_
  std::condition_variable stateChanged_;
  bool stopRequested_ = false;
  PlatformUdpSocket* socket_ = nullptr;

  std::atomic<bool> chatNotices_{false};
  void (*onLeaveAircraft_)() = nullptr;  // immutable once the listener runs
  void (*onFactsChanged_)() = nullptr;

  // The frequency of the last successful switch, the channel it went to, and
  // the store it was made with: a repeat is dropped while that store is
  // current, and after live changes as long as the frequency still names
  // that channel in the same build. Written under switchLock_ (the listener,
  // or the pilot's controls on the client's thread); the two atomics are
  // also read without it by the listener's repeat test, which the lock's
  // holder then makes again.
  std::mutex switchLock_;
  std::atomic<int32_t> lastFrequency_{0};
  std::atomic<uint64_t> lastGeneration_{0};
  uint64_t lastTarget_ = 0;
  uint64_t lastBuild_ = 0;
  // The channel the pilot was in before the first move of build homeBuild_;
  // switchLock_.
  uint64_t homeChannel_ = 0;
  uint64_t homeBuild_ = 0;
  uint64_t homeConnection_ = 0;
  bool leftAircraft_ = false;  // listener only: the departure was handled
  MissingChannelNotices notices_;  // switchLock_; ForgetNotices from any thread

  // The pilot's controls and the status: written by the listener (radio,
  // datagram time) or the client's thread (pause), read by either.
  std::atomic<bool> paused_{false};
  std::atomic<int32_t> radioFrequency_{0};
  static constexpr uint32_t kOwnClientKnown = 1u << 16;
  std::atomic<uint32_t> ownClient_{0};
  std::atomic<int64_t> lastDatagramMs_{-1};  // steady clock; -1: none yet
  std::atomic<int64_t> lastFactsNoticeMs_{INT64_MIN / 2};
  std::atomic<bool> factsPending_{false};  // a change not yet told to the panel
  char receiveArea_[kReceiveBytes + 1] = {};
};

// The process-wide listener.
extern UDPServer g_udpServer;
