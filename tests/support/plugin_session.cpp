#include "tests/support/plugin_session.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>
#include <utility>

#include "tests/support/level_setting.h"
#include "tests/support/log_lines.h"

std::string Fr(const std::string& megahertz) { return "Fr\xC3\xA9quences " + megahertz; }

PluginSession::PluginSession(int level, bool withLogFolder, const std::string& leaf)
    : directory(leaf), level_(level) {
  if (withLogFolder) std::filesystem::create_directory(directory.path() / "zovik_plugin");
  if (level == kNoLevelSetting) {
    RemoveLogLevel();
  } else {
    SetLogLevelText(std::to_wstring(level));
  }
  RemoveSetting(Setting::kChatNotices);
  host.Reset();
  host.SetPluginPath(directory.PluginPath());
}

PluginSession::~PluginSession() {
  Shutdown();
  Unload();
  RemoveLogLevel();
  RemoveSetting(Setting::kChatNotices);
  // A client from 3.1 on wants the ID it gave in every getPluginPath.
  EXPECT_EQ(host.PluginIdMismatches(), 0);
}

bool PluginSession::Load() {
  std::string error;
  if (!library.Load(ProgramDirectory() + PluginFileName(), &error)) {
    ADD_FAILURE() << "cannot load the plugin: " << error;
    return false;
  }
  if (!HandOverToPlugin(library.exports(), StandInClient(), &error)) {
    ADD_FAILURE() << "client " << StandInClient().version << " refuses the plugin: " << error;
    return false;
  }
  return true;
}

int PluginSession::Init() {
  initialized_ = true;
  return library.exports().init();
}

bool PluginSession::Start() {
  if (!Load()) return false;
  return Init() == 0;
}

bool PluginSession::StartConnected() {
  if (!Start() || !WaitForListener()) return false;
  host.SetChannels(1, DefaultChannels());
  Connect();
  return true;
}

void PluginSession::Shutdown() {
  if (!initialized_) return;
  library.exports().shutdown();
  initialized_ = false;
}

void PluginSession::Unload() { library.Unload(); }

void PluginSession::Status(uint64_t connection, int status) {
  host.SetConnectionStatus(connection, status);
  library.exports().onConnectStatusChangeEvent(connection, status, 0);
}

void PluginSession::Send(const std::string& datagram) { SendBytes(datagram.data(), datagram.size()); }

void PluginSession::SendBytes(const void* bytes, size_t length) {
  std::string error;
  ASSERT_TRUE(sender_.Send("127.0.0.1", kDefaultFrequencyPort, bytes, length, &error)) << error;
}

bool PluginSession::SendAndWaitForMove(const std::string& datagram) {
  const size_t before = host.Moves().size();
  Send(datagram);
  if (!WaitForMoves(before + 1)) return false;
  if (level_ < 2) return true;  // no "Swithed channel" line to wait for
  return WaitForLogPrefix("UDPServer : Swithed channel to [", before + 1);
}

bool PluginSession::SendUntilMoved(const std::string& datagram) {
  const size_t before = host.Moves().size();
  for (int attempt = 0; attempt < 200; ++attempt) {
    Send(datagram);
    if (WaitForMoves(before + 1, std::chrono::milliseconds(50))) return true;
  }
  return false;
}

bool PluginSession::WaitForMoves(size_t count, std::chrono::milliseconds timeout) {
  return host.WaitForMoves(count, timeout);
}

bool PluginSession::WaitForLogMessage(const std::string& message, size_t count,
                                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t seen = 0;
    for (const std::string& line : LogLines()) seen += MessageOf(line) == message ? 1 : 0;
    if (seen >= count) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool PluginSession::WaitForLogPrefix(const std::string& prefix, size_t count,
                                     std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    size_t seen = 0;
    for (const std::string& line : LogLines()) seen += MessageOf(line).rfind(prefix, 0) == 0;
    if (seen >= count) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

std::vector<uint64_t> PluginSession::MovedChannels() {
  std::vector<uint64_t> channels;
  for (const MoveRequest& move : host.Moves()) channels.push_back(move.channel);
  return channels;
}

std::string PluginSession::LogPath() const {
  return directory.PluginPath() + "zovik_plugin" +
         static_cast<char>(std::filesystem::path::preferred_separator) + "zovik_plugin.log";
}

std::vector<std::string> PluginSession::LogLines() const {
  return SplitLogLines(ReadFileBytes(PathFromUtf8(LogPath())));
}

std::vector<std::string> PluginSession::TaggedMessages(const std::string& fromMessage) const {
  std::vector<std::string> tagged;
  bool started = fromMessage.empty();
  for (const std::string& line : LogLines()) {
    if (!started && MessageOf(line) == fromMessage) started = true;
    if (!started) continue;
    const int level = LevelOf(line);
    if (level < 0) {
      tagged.push_back(line);
      continue;
    }
    std::string message = "L";
    message += std::to_string(level);
    message += ' ';
    message += MessageOf(line);
    tagged.push_back(std::move(message));
  }
  return tagged;
}
