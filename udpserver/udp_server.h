// The plugin's main loop: a thread that receives the simulator's frequency
// datagrams on UDP port 10500 and has the channel store move the user into
// the channel named after each new frequency.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>

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

  // Forgets the last switch, as at a new start.
  void ResetLastSwitch();

 private:
  // Blocks the listener for `milliseconds` or until Stop; false on Stop.
  bool SleepUnlessStopped(int milliseconds);

  PlatformThread* thread_ = nullptr;  // host's thread only
  std::mutex stateLock_;  // guards stopRequested_ and socket_
  std::condition_variable stateChanged_;
  bool stopRequested_ = false;
  PlatformUdpSocket* socket_ = nullptr;

  // Listener thread only. The frequency of the last successful switch and
  // the store it was made with: a repeat is dropped only while that store is
  // still the current one.
  int32_t lastFrequency_ = 0;
  uint64_t lastGeneration_ = 0;
  char receiveArea_[kReceiveBytes + 1] = {};
};

// The process-wide listener.
extern UDPServer g_udpServer;
