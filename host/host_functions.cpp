#include "host/host_functions.h"

#include <string>

#include "host/client_api.h"

TS3Functions g_ts3Functions = {};

namespace {
std::string pluginID;
}

void HostRegisterPluginID(const char* id) { pluginID = id == nullptr ? "" : id; }

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
