// The plugin's main loop: a thread that receives the simulator's frequency
// datagrams on UDP port 10500 and has the channel store move the user into
// the channel named after each new frequency.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string_view>

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

  // Forgets the last switch and the notices shown, as at a new start.
  void ResetLastSwitch();

  // Any thread: connection `connection` changed status; the frequencies told
  // in its chat may be told again.
  void ForgetNotices(uint64_t connection) { notices_.ForgetConnection(connection); }

  // Whether a frequency without a channel is told in the chat of the
  // followed connection's tab. Set before Start, on the host's thread.
  void SetChatNotices(bool on) { chatNotices_.store(on, std::memory_order_relaxed); }

 private:
  // Blocks the listener for `milliseconds` or until Stop; false on Stop.
  bool SleepUnlessStopped(int milliseconds);
  // Tells the pilot that `frequency`'s channel `name` is missing in `store`.
  void NoticeMissingChannel(const CDB_snapshot& store, int32_t frequency, std::string_view name);

  PlatformThread* thread_ = nullptr;  // host's thread only
  std::mutex stateLock_;  // guards stopRequested_ and socket_
  std::condition_variable stateChanged_;
  bool stopRequested_ = false;
  PlatformUdpSocket* socket_ = nullptr;

  std::atomic<bool> chatNotices_{false};

  // Listener thread only. The frequency of the last successful switch, the
  // channel it went to, and the store it was made with: a repeat is dropped
  // while that store is current, and after live changes as long as the
  // frequency still names that channel in the same build.
  int32_t lastFrequency_ = 0;
  uint64_t lastTarget_ = 0;
  uint64_t lastBuild_ = 0;
  uint64_t lastGeneration_ = 0;
  MissingChannelNotices notices_;  // ForgetNotices from any thread, the rest listener's
  char receiveArea_[kReceiveBytes + 1] = {};
};

// The process-wide listener.
extern UDPServer g_udpServer;
