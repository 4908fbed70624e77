#include "host/host_functions.h"

#include <string>

#include "host/client_api.h"
#include "plugin_identity.h"

TS3Functions g_ts3Functions = {};

namespace {
std::string pluginID;
}

void HostRegisterPluginID(const char* id) { pluginID = id == nullptr ? "" : id; }

const std::string& HostPluginID() { return pluginID; }

void HostGetPluginPath(char* path, size_t size) {
  if (size == 0) return;
  path[0] = '\0';
  if (g_ts3Functions.getPluginPath == nullptr) return;
  // The client's function has the form of the API we answered it.
  if (PluginApiVersion() >= 21) {
    reinterpret_cast<GetPluginPathApi21>(g_ts3Functions.getPluginPath)(path, size,
                                                                       pluginID.c_str());
  } else {
    reinterpret_cast<GetPluginPathApi20>(g_ts3Functions.getPluginPath)(path, size);
  }
  path[size - 1] = '\0';
}

bool HostGetChannelName(uint64_t serverConnectionHandlerID, uint64_t channelID, std::string* name) {
  char* nameReceived = nullptr;
  if (g_ts3Functions.getChannelVariableAsString == nullptr ||
      g_ts3Functions.getChannelVariableAsString(serverConnectionHandlerID, channelID, CHANNEL_NAME,
                                                &nameReceived) != kHostOk ||
      nameReceived == nullptr) {
    return false;
  }
  const HostPointer<char> held(nameReceived);
  *name = held.get();
  return true;
}

bool HostCreateReturnCode(std::string* returnCode) {
  if (pluginID.empty() || g_ts3Functions.createReturnCode == nullptr) return false;
  char code[128] = {};
  g_ts3Functions.createReturnCode(pluginID.c_str(), code, sizeof code);
  code[sizeof code - 1] = '\0';
  *returnCode = code;
  return !returnCode->empty();
}

std::string PluginChatLine(std::string_view text) {
  std::string line = ZOVIK_NAME ": ";
  line.append(text);
  return line;
}

bool HostPrintToServerTab(uint64_t serverConnectionHandlerID, const char* line) {
  if (g_ts3Functions.printMessage != nullptr) {
    g_ts3Functions.printMessage(serverConnectionHandlerID, line, PLUGIN_MESSAGE_TARGET_SERVER);
    return true;
  }
  if (g_ts3Functions.printMessageToCurrentTab == nullptr ||
      g_ts3Functions.getCurrentServerConnectionHandlerID == nullptr ||
      g_ts3Functions.getCurrentServerConnectionHandlerID() != serverConnectionHandlerID) {
    return false;
  }
  g_ts3Functions.printMessageToCurrentTab(line);
  return true;
}
