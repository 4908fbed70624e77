#include "plugin/plugin_settings.h"

#include <atomic>
#include <string>

#include "common/setting_number.h"
#include "host/client_api.h"
#include "log/log_file.h"
#include "platform/platform.h"
#include "plugin/settings_dialog.h"
#include "udpserver/udp_server.h"

namespace {
std::atomic<LeaveAircraft> leaveAircraft{LeaveAircraft::kStay};

// The dialog's OK, on its thread: saved as text, the way the .reg files
// write the values, then applied.
void SaveAndApply(const SettingsChoice& choice) {
  PluginSettings settings;
  settings.logLevel = choice.logLevel;
  settings.chatNotices = choice.chatNotices;
  settings.leaveAircraft = choice.backToMyChannel ? LeaveAircraft::kBackToMyChannel
                                                  : LeaveAircraft::kStay;
  const bool saved =
      PlatformWriteSetting(Setting::kLogLevel, std::to_wstring(settings.logLevel)) &&
      PlatformWriteSetting(Setting::kChatNotices, settings.chatNotices ? L"1" : L"0") &&
      PlatformWriteSetting(Setting::kLeaveAircraft, choice.backToMyChannel ? L"1" : L"0");
  ApplyPluginSettings(settings);
  if (!saved) LogMessage("Settings : cannot save the settings; they count until the client ends", 0);
}
}  // namespace

PluginSettings ReadPluginSettings() {
  PluginSettings settings;
  settings.logLevel = SettingNumber(PlatformReadSetting(Setting::kLogLevel), 0);
  settings.chatNotices = SettingNumber(PlatformReadSetting(Setting::kChatNotices), 1) != 0;
  settings.leaveAircraft = SettingNumber(PlatformReadSetting(Setting::kLeaveAircraft), 0) == 1
                               ? LeaveAircraft::kBackToMyChannel
                               : LeaveAircraft::kStay;
  return settings;
}

void ApplyPluginSettings(const PluginSettings& settings) {
  g_logFile.SetLevel(settings.logLevel);
  g_udpServer.SetChatNotices(settings.chatNotices);
  leaveAircraft.store(settings.leaveAircraft, std::memory_order_relaxed);
}

LeaveAircraft CurrentLeaveAircraft() { return leaveAircraft.load(std::memory_order_relaxed); }

// The fixed API 20 build has no dialog: discarded at compile time, so its
// library links none of the window code and imports what it always did.
void OpenSettingsDialog() {
  if constexpr (kFixedPluginApiVersion == 0) {
    const PluginSettings settings = ReadPluginSettings();
    SettingsChoice current;
    current.logLevel =
        settings.logLevel < 0 ? -1 : (settings.logLevel > 5 ? 5 : settings.logLevel);
    current.chatNotices = settings.chatNotices;
    current.backToMyChannel = settings.leaveAircraft == LeaveAircraft::kBackToMyChannel;
    PlatformOpenSettingsDialog(current, &SaveAndApply);
  }
}

void CloseSettingsDialog() {
  if constexpr (kFixedPluginApiVersion == 0) PlatformCloseSettingsDialog();
}
