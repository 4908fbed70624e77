// Drives the real plugin library through the host stand-in: loads it from
// beside the test program, hands it the simulated client's function table,
// and sends it datagrams on UDP port 10500 as the simulator would.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"
#include "testing/host_standin/client_events.h"
#include "testing/host_standin/plugin_library.h"
#include "testing/host_standin/simulated_host.h"
#include "tools/sender/udp_sender.h"

constexpr int kNoLevelSetting = -1000;

class PluginSession {
 public:
  // `level`: the log level setting, or kNoLevelSetting for none. The plugin
  // directory gets its zovik_plugin folder unless `withLogFolder` is false.
  explicit PluginSession(int level = 0, bool withLogFolder = true,
                         const std::string& leaf = "zovik-e2e");
  ~PluginSession();

  // Load, set the function table, init; false when loading fails.
  bool Start();
  // Start, wait until the listener is bound, then connect to a server of
  // the stand-in's default channels on connection 1.
  bool StartConnected();
  bool Load();
  int Init();
  void Shutdown();
  void Unload();
  void Status(uint64_t connection, int status);
  void Connect(uint64_t connection = 1) { Status(connection, STATUS_CONNECTION_ESTABLISHED); }

  void Send(const std::string& datagram);
  void SendBytes(const void* bytes, size_t length);
  // Sends `datagram` and waits for the move it causes and, when the level
  // asks for it, for the line that reports it.
  bool SendAndWaitForMove(const std::string& datagram);
  // Without a log to tell when the listener is bound, sends like the
  // simulator does, again and again, until the move happens.
  bool SendUntilMoved(const std::string& datagram);
  bool WaitForMoves(size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Waits until the log holds `count` lines whose message is `message`.
  bool WaitForLogMessage(const std::string& message, size_t count = 1,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10));
  bool WaitForListener(std::chrono::milliseconds timeout = std::chrono::seconds(10)) {
    return WaitForLogMessage(kListenerStarted, 1, timeout);
  }
  // Waits until `count` lines have a message beginning with `prefix`.
  bool WaitForLogPrefix(const std::string& prefix, size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10));

  // The channel of every accepted move, in order: a stray move shows as
  // itself, where a count could be made up by another fault.
  std::vector<uint64_t> MovedChannels();

  std::vector<std::string> LogLines() const;
  // "Lnn message" for every line from the first line with `fromMessage` on
  // (all lines when empty).
  std::vector<std::string> TaggedMessages(const std::string& fromMessage = "") const;
  std::string LogPath() const;

  SimulatedHost& host = SimulatedHost::Instance();
  PluginLibrary library;
  TempDirectory directory;

  static constexpr const char* kListenerStarted = "UDPServer : Thread UDP server started on 10500";

 private:
  UdpSender sender_;
  int level_;
  bool initialized_ = false;
};

// "Fréquences 251" with its UTF-8 bytes.
std::string Fr(const std::string& megahertz);
