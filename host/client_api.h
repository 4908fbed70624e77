// Which plugin API version this library answers the client that loaded it.
// A client loads a plugin only when the answer lies in its own accepted
// range, and clients of different years accept disjoint ranges, so the
// answer follows the version of the program the library was loaded into.
#pragma once

#include "platform/platform.h"

// The API a client of `version` accepts; 26 (the current clients') when the
// version is unknown (null, or not a client's, such as 0.0.0.0) or newer
// than any we know.
int ApiVersionForClient(const ProgramVersion* version);

// The answer for this process, worked out once; the build with
// ZOVIK_FIXED_PLUGIN_API answers that version whatever the client.
int PluginApiVersion();

#ifdef ZOVIK_FIXED_PLUGIN_API  // the fixed build, for clients 3.0.16 to 3.0.19 only
constexpr int kFixedPluginApiVersion = ZOVIK_FIXED_PLUGIN_API;
#else
constexpr int kFixedPluginApiVersion = 0;  // answered per client
#endif
