#include "bench/support/plugin_rig.h"

#include <filesystem>
#include <stdexcept>
#include <utility>

#include "tests/support/level_setting.h"

PluginRig::PluginRig() {
  std::filesystem::create_directory(directory_.path() / "zovik_plugin");
  std::string error;
  if (!library_.Load(ProgramDirectory() + PluginFileName(), &error)) {
    throw std::runtime_error("cannot load the plugin: " + error);
  }
  host.Reset();
  host.SetPluginPath(directory_.PluginPath());
  if (!HandOverToPlugin(library_.exports(), StandInClient(), &error)) {
    throw std::runtime_error("the client refuses the plugin: " + error);
  }
}

PluginRig::~PluginRig() {
  Shutdown();
  library_.Unload();
  RemoveLogLevel();
}

void PluginRig::Start(int logLevel, std::function<void(const MoveRequest&)> onMove) {
  host.Reset();
  host.Establish(1, DefaultChannels());
  host.OnMove(std::move(onMove));
  SetLogLevelText(std::to_wstring(logLevel));
  library_.exports().init();
  started_ = true;
  library_.exports().onConnectStatusChangeEvent(1, STATUS_CONNECTION_ESTABLISHED, 0);
}

void PluginRig::Shutdown() {
  if (!started_) return;
  library_.exports().shutdown();
  started_ = false;
}

void PluginRig::SendUntilMoved(const std::string& datagram, std::chrono::milliseconds timeout) {
  const size_t before = host.Moves().size();
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (std::chrono::steady_clock::now() < deadline) {
    SendDatagram(sender, datagram);
    if (host.WaitForMoves(before + 1, std::chrono::milliseconds(3))) return;
  }
  throw std::runtime_error("no move for " + datagram);
}

void SendDatagram(UdpSender& sender, const std::string& datagram) {
  std::string error;
  if (!sender.Send("127.0.0.1", kDefaultFrequencyPort, datagram.data(), datagram.size(), &error)) {
    throw std::runtime_error(error);
  }
}
