// The real plugin library, loaded the way the voice client loads it, behind
// the host stand-in: its own plugin directory (with the log folder), the log
// level set where the plugin reads it, and the stand-in's default server on
// connection 1. What every measurement of the running plugin drives.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "tests/support/temp_directory.h"
#include "testing/host_standin/plugin_library.h"
#include "testing/host_standin/simulated_host.h"
#include "tools/sender/udp_sender.h"

class PluginRig {
 public:
  // Loads the plugin from beside this program; throws std::runtime_error
  // when it cannot.
  PluginRig();
  ~PluginRig();
  PluginRig(const PluginRig&) = delete;
  PluginRig& operator=(const PluginRig&) = delete;

  // ts3plugin_init at `logLevel` (read by the plugin at init), then the
  // connection to the default server. The stand-in starts afresh, with no
  // moves and `onMove` called for each move from the first on.
  void Start(int logLevel, std::function<void(const MoveRequest&)> onMove = nullptr);
  // ts3plugin_shutdown; nothing when not started.
  void Shutdown();

  // Sends `datagram` to port 10500 every few milliseconds until the stand-in
  // records a move: the listener is then bound and in its receive loop.
  // Throws std::runtime_error after `timeout`.
  void SendUntilMoved(const std::string& datagram,
                      std::chrono::milliseconds timeout = std::chrono::seconds(30));

  SimulatedHost& host = SimulatedHost::Instance();
  UdpSender sender;

 private:
  TempDirectory directory_{"zovik-bench"};
  PluginLibrary library_;
  bool started_ = false;
};

// Sends `datagram` to 127.0.0.1:10500; throws std::runtime_error on failure.
void SendDatagram(UdpSender& sender, const std::string& datagram);
