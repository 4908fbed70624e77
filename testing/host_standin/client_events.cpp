#include "testing/host_standin/client_events.h"

#include <vector>

namespace {

// The admin of every change the stand-in plays.
constexpr anyID kAdminID = 2;
constexpr char kAdminName[] = "Squadron admin";
constexpr char kAdminUniqueIdentifier[] = "zovik-stand-in-admin=";

void NewChannel(const PluginExports& plugin, uint64_t connection, uint64_t channel) {
  if (plugin.onNewChannelEvent != nullptr) plugin.onNewChannelEvent(connection, channel, 0);
}

}  // namespace

void PlayStatus(const PluginExports& plugin, uint64_t connection, int status) {
  SimulatedHost::Instance().SetConnectionStatus(connection, status);
  plugin.onConnectStatusChangeEvent(connection, status, 0);
}

void PlayConnection(const PluginExports& plugin, uint64_t connection) {
  const std::vector<uint64_t> channels = SimulatedHost::Instance().ChannelIds(connection);
  PlayStatus(plugin, connection, STATUS_CONNECTING);
  PlayStatus(plugin, connection, STATUS_CONNECTED);
  // The channel joined at login comes first, the others while establishing.
  if (!channels.empty()) NewChannel(plugin, connection, channels.front());
  PlayStatus(plugin, connection, STATUS_CONNECTION_ESTABLISHING);
  for (size_t i = 1; i < channels.size(); ++i) NewChannel(plugin, connection, channels[i]);
  PlayStatus(plugin, connection, STATUS_CONNECTION_ESTABLISHED);
}

bool PlayChannelCreated(const PluginExports& plugin, uint64_t connection,
                        const SimulatedChannel& channel) {
  if (!SimulatedHost::Instance().AddChannel(connection, channel)) return false;
  if (plugin.onNewChannelCreatedEvent != nullptr) {
    plugin.onNewChannelCreatedEvent(connection, channel.id, 0, kAdminID, kAdminName,
                                    kAdminUniqueIdentifier);
  }
  return true;
}

bool PlayChannelRenamed(const PluginExports& plugin, uint64_t connection, uint64_t channel,
                        const std::string& name) {
  if (!SimulatedHost::Instance().RenameChannel(connection, channel, name)) return false;
  // An edit by a client comes with its author, then as a plain update.
  if (plugin.onUpdateChannelEditedEvent != nullptr) {
    plugin.onUpdateChannelEditedEvent(connection, channel, kAdminID, kAdminName,
                                      kAdminUniqueIdentifier);
  }
  if (plugin.onUpdateChannelEvent != nullptr) plugin.onUpdateChannelEvent(connection, channel);
  return true;
}

bool PlayChannelDeleted(const PluginExports& plugin, uint64_t connection, uint64_t channel) {
  if (!SimulatedHost::Instance().DeleteChannel(connection, channel)) return false;
  if (plugin.onDelChannelEvent != nullptr) {
    plugin.onDelChannelEvent(connection, channel, kAdminID, kAdminName, kAdminUniqueIdentifier);
  }
  return true;
}
