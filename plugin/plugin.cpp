// The exports the voice client calls, and the wiring of log, store and
// listener behind them. Every export runs on the client's thread, and none
// lets an exception reach the client.
#include <cstring>
#include <string>
#include <string_view>

#include "channels/channels_base.h"
#include "host/client_api.h"
#include "host/host_functions.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "plugin/pilot_controls.h"
#include "plugin/plugin_log.h"
#include "plugin/plugin_settings.h"
#include "plugin/settings_dialog.h"
#include "plugin/server_tabs.h"
#include "plugin/zovik_chat_command.h"
#include "plugin_identity.h"
#include "udpserver/udp_server.h"

namespace {

constexpr wchar_t kPluginName[] = L"" ZOVIK_NAME;

// The name in UTF-8, converted on first use and kept for the library's life,
// so the pointer the client holds stays valid. Only the client's thread
// touches it. A plain global rather than a function's static: the runtime's
// guard for those makes a lock at first use that outlives every unload of
// the library.
std::string pluginNameCache;

// ts3plugin_init ran before the client registered the plugin's ID, so the
// plugin's folder (asked for with that ID) is not known yet. Client's thread.
bool logWaitsForID = false;

void OpenPluginLog() {
  char pluginPath[kPluginPathBytes] = {};
  HostGetPluginPath(pluginPath, sizeof pluginPath);
  g_logFile.Open(std::string_view(pluginPath, std::strlen(pluginPath)));
  LogMessage("ZOVIK plugin initialized", 0);
}

}  // namespace

void OpenPluginLogIfWaiting() {
  if (!logWaitsForID) return;
  logWaitsForID = false;
  OpenPluginLog();
}

ZOVIK_EXPORT int ts3plugin_apiVersion() { return PluginApiVersion(); }

ZOVIK_EXPORT const char* ts3plugin_name() {
  try {
    if (pluginNameCache.empty() &&
        (!PlatformWideToUtf8(kPluginName, &pluginNameCache) || pluginNameCache.empty())) {
      pluginNameCache = ZOVIK_NAME;
    }
    return pluginNameCache.c_str();
  } catch (...) {
    return ZOVIK_NAME;  // without memory for the conversion
  }
}

ZOVIK_EXPORT const char* ts3plugin_version() { return ZOVIK_REPORTED_VERSION; }

ZOVIK_EXPORT const char* ts3plugin_author() { return ZOVIK_AUTHOR; }

ZOVIK_EXPORT const char* ts3plugin_description() {
  return ZOVIK_DESCRIPTION_TITLE "\n" ZOVIK_DESCRIPTION_CREDIT;
}

ZOVIK_EXPORT void ts3plugin_setFunctionPointers(const TS3Functions funcs) {
  g_ts3Functions = funcs;
}

ZOVIK_EXPORT int ts3plugin_init() {
  try {
    // The SDK says the ID comes after init, clients from 3.1 on give it
    // before: either way the log opens once the folder can be asked for.
    logWaitsForID = PluginApiVersion() >= 21 && HostPluginID().empty();
    if (!logWaitsForID) OpenPluginLog();
    // Read at each start, as the log level is. The fixed API 20 build shows
    // nothing in the chat and never leaves the channel it is in.
    if constexpr (kFixedPluginApiVersion == 0) {
      ApplyPluginSettings(ReadPluginSettings());
      StartPilotControls();
    }
    g_udpServer.Start();
    // Enabled while already connected: no event will say so.
    FollowEstablishedConnection();
  } catch (...) {
    // Start-up is reported as a success in every case; without memory or a
    // thread the plugin just does nothing.
  }
  return 0;
}

ZOVIK_EXPORT void ts3plugin_onConnectStatusChangeEvent(uint64_t serverConnectionHandlerID,
                                                       int newStatus, unsigned int errorNumber) {
  (void)errorNumber;
  try {
    OnTabConnectionChanged(serverConnectionHandlerID);
    g_udpServer.ForgetNotices(serverConnectionHandlerID);
    if (newStatus == STATUS_CONNECTION_ESTABLISHED) {
      BuildStoreFrom(serverConnectionHandlerID);
    } else if (newStatus == STATUS_DISCONNECTED) {
      OnConnectionLost(serverConnectionHandlerID);
    }
  } catch (...) {
    // A build without memory leaves the previous store in place.
  }
}

ZOVIK_EXPORT void ts3plugin_shutdown() {
  try {
    LogMessage("PLUGIN: shutdown", 0);
    // No window of ours may outlive the library.
    CloseSettingsDialog();
    // The listener must be gone before the client may unload the library.
    g_udpServer.Stop();
    StopCreationTimer();
  } catch (...) {
  }
}
