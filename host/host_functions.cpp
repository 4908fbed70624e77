#include "host/host_functions.h"

#include <string>

TS3Functions g_ts3Functions = {};

namespace {
std::string pluginID;
}

void HostRegisterPluginID(const char* id) { pluginID = id == nullptr ? "" : id; }

void HostGetPluginPath(char* path, size_t size) {
  if (size == 0) return;
  path[0] = '\0';
  if (g_ts3Functions.getPluginPath == nullptr) return;
#if ZOVIK_PLUGIN_API >= 21  // the ID argument exists from API 21 on
  g_ts3Functions.getPluginPath(path, size, pluginID.c_str());
#else
  g_ts3Functions.getPluginPath(path, size);
#endif
  path[size - 1] = '\0';
}
