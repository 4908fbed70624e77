#include "testing/host_standin/client_events.h"

#include <vector>

namespace {

// The admin of every change the stand-in plays.
constexpr anyID kAdminID = 2;
constexpr char kAdminName[] = "Squadron admin";
constexpr char kAdminUniqueIdentifier[] = "zovik-stand-in-admin=";
// The user the stand-in plays, when the plugin acts in their name.
constexpr char kOwnName[] = "Stand-in user";
constexpr char kOwnUniqueIdentifier[] = "zovik-stand-in-user=";
// Any permission's number: the plugin is told which one failed.
constexpr unsigned int kCreatePermanentPermissionID = 1;

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

bool PlayTypedCommand(const PluginExports& plugin, uint64_t connection, const std::string& text) {
  if (plugin.commandKeyword == nullptr || plugin.processCommand == nullptr) return false;
  const char* keyword = plugin.commandKeyword();
  if (keyword == nullptr || *keyword == '\0') return false;
  const std::string prefix = std::string("/") + keyword;
  if (text.compare(0, prefix.size(), prefix) != 0 ||
      (text.size() > prefix.size() && text[prefix.size()] != ' ')) {
    return false;
  }
  const size_t rest = text.find_first_not_of(' ', prefix.size());
  plugin.processCommand(connection, rest == std::string::npos ? "" : text.c_str() + rest);
  return true;
}

bool PlayServerAnswer(const PluginExports& plugin) {
  SimulatedHost& host = SimulatedHost::Instance();
  ServerAnswer answer;
  if (!host.TakeServerAnswer(&answer)) return false;
  if (answer.error == 0) {
    host.AddChannel(answer.connection, {answer.channel, answer.name, answer.parent});
    anyID own = 0;
    SimulatedHost::GetClientID(answer.connection, &own);
    if (plugin.onNewChannelCreatedEvent != nullptr) {
      plugin.onNewChannelCreatedEvent(answer.connection, answer.channel, answer.parent, own,
                                      kOwnName, kOwnUniqueIdentifier);
    }
    // Success is told for a request that carried a return code.
    if (answer.returnCode.empty()) return true;
  }
  const char* code = answer.returnCode.c_str();
  int handled = 0;
  if (answer.error == kInsufficientPermissions && plugin.onServerPermissionErrorEvent != nullptr) {
    handled = plugin.onServerPermissionErrorEvent(answer.connection, answer.message.c_str(),
                                                  answer.error, code, kCreatePermanentPermissionID);
  } else if (plugin.onServerErrorEvent != nullptr) {
    handled = plugin.onServerErrorEvent(answer.connection, answer.message.c_str(), answer.error,
                                        code, "");
  }
  // The client leaves to a plugin only the errors of the plugin's own codes.
  if (answer.error != 0 && (handled == 0 || answer.returnCode.empty())) {
    host.Print({answer.connection, kClientErrorLine, answer.message});
  }
  return true;
}
