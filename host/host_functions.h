// The plugin's one copy of the client's function table. Written by
// ts3plugin_setFunctionPointers on the host's thread before ts3plugin_init
// (so before the listener thread exists), and only read afterwards, from
// both threads. A null member is treated as a failed call.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "host/ts3_plugin_api.h"

extern TS3Functions g_ts3Functions;

// Memory the client handed out (lists, strings), given back with its
// freeMemory however the holder's scope ends.
struct HostFree {
  void operator()(void* pointer) const {
    if (g_ts3Functions.freeMemory != nullptr) g_ts3Functions.freeMemory(pointer);
  }
};
template <typename T>
using HostPointer = std::unique_ptr<T, HostFree>;

// The plugin directory as the client reports it, through the getPluginPath
// of the API answered to the client. Empty text when the client gives none.
void HostGetPluginPath(char* path, size_t size);

// API 21 and later: the plugin's ID as the client registered it, kept for
// getPluginPath and return codes. Written on the client's thread before
// ts3plugin_init.
void HostRegisterPluginID(const char* id);
// The ID registered so far; empty before registerPluginID (and always, for
// clients before 3.1). Client's thread.
const std::string& HostPluginID();

// Channel `channelID`'s name on that connection as the client gives it;
// false when it cannot. Any thread.
bool HostGetChannelName(uint64_t serverConnectionHandlerID, uint64_t channelID, std::string* name);

// A return code for a request, made by the client with our plugin ID; false
// when the client gave us no ID (clients before 3.1), which leaves the
// request without one. Client's thread.
bool HostCreateReturnCode(std::string* returnCode);

// `text` as a line the plugin says in a chat: after its name, so the user
// knows who speaks ("ZOVIK: ...").
std::string PluginChatLine(std::string_view text);

// Shows `line` (UTF-8) in the chat of connection `serverConnectionHandlerID`'s
// server tab: through printMessage, or through printMessageToCurrentTab when
// the client has only that and the tab is the one the user looks at. False
// when the client gives neither way. Any thread.
bool HostPrintToServerTab(uint64_t serverConnectionHandlerID, const char* line);
