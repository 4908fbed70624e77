// The /zovik chat command's glue to the client: what an admin types in a
// server tab's chat, the channels it asks the server for, and the server's
// answers told in that chat. Client's thread only, as the exports that call
// it are.
#pragma once

#include <cstdint>

#include "host/ts3_plugin_api.h"

// Channel `channelID` was created on that connection by `invokerID`: when
// that is the own client, it may be one the command asked for.
void OnChannelCreatedFor(uint64_t serverConnectionHandlerID, uint64_t channelID, anyID invokerID);

// The connection of that tab changed status: what the command queued for it
// is dropped, told in one line. The fixed API 20 build has no command, and
// links an empty one.
void OnTabConnectionChanged(uint64_t serverConnectionHandlerID);

// Client's thread, from ts3plugin_shutdown: stops the thread that gives up
// unanswered creations, so none runs once the library is unloaded.
void StopCreationTimer();
