// A client function table over an array of channel names, for timing the
// store and the listener's logic alone: channel i + 1 is names[i], reading a
// name is an index, and a move request is only counted. The host stand-in
// searches its list for every name and records every move, work that would
// otherwise be timed with the plugin's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/ts3_plugin_api.h"

namespace array_host {

// Connection 1's channels, in list order.
void SetChannels(std::vector<std::string> names);
// Names channel `channel` (created or renamed) without listing it: the
// list stays what SetChannels gave, as after a live change.
void SetName(uint64_t channel, std::string name);
TS3Functions FunctionTable();
uint64_t MoveRequests();
uint64_t LastMoveChannel();

}  // namespace array_host
