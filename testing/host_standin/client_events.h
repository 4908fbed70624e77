// What the client does on its server connections, told to the plugin the
// way the client tells it: the client's own state changes first, then the
// plugin's event export is called (when the plugin has it).
#pragma once

#include <cstdint>
#include <string>

#include "testing/host_standin/plugin_library.h"
#include "testing/host_standin/simulated_host.h"

// Connecting, as the client reports it: connecting and connected, the
// server's first channel, establishing, one new-channel event for each other
// channel, then established.
void PlayConnection(const PluginExports& plugin, uint64_t connection);
// One status change of a connection.
void PlayStatus(const PluginExports& plugin, uint64_t connection, int status);

// An admin creates, renames or deletes a channel while the user is
// connected; false when the simulated server refuses it.
bool PlayChannelCreated(const PluginExports& plugin, uint64_t connection,
                        const SimulatedChannel& channel);
bool PlayChannelRenamed(const PluginExports& plugin, uint64_t connection, uint64_t channel,
                        const std::string& name);
bool PlayChannelDeleted(const PluginExports& plugin, uint64_t connection, uint64_t channel);

// The user types `text` in connection `connection`'s chat: a "/KEYWORD ..."
// line of the plugin's command keyword goes to the plugin without the slash
// and the keyword. False when the plugin has no such command.
bool PlayTypedCommand(const PluginExports& plugin, uint64_t connection, const std::string& text);
// The server's oldest answer to what the plugin asked, told as the client
// tells it; false when there was none. An error the plugin does not take as
// its own is shown in the chat.
bool PlayServerAnswer(const PluginExports& plugin);
