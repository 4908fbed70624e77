// The export that clients from 3.1 on (plugin API 21 and later) call, before
// ts3plugin_init or after it, handing the plugin its ID for getPluginPath.
#include "host/host_functions.h"
#include "plugin/plugin_log.h"

ZOVIK_EXPORT void ts3plugin_registerPluginID(const char* id) {
  try {
    HostRegisterPluginID(id);
    OpenPluginLogIfWaiting();
  } catch (...) {
    // Without memory for the ID, getPluginPath is asked with an empty one.
  }
}
