#include "plugin/plugin_settings.h"

#include <atomic>

#include "common/setting_number.h"
#include "platform/platform.h"
#include "udpserver/udp_server.h"

namespace {
std::atomic<LeaveAircraft> leaveAircraft{LeaveAircraft::kStay};
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
  g_udpServer.SetChatNotices(settings.chatNotices);
  leaveAircraft.store(settings.leaveAircraft, std::memory_order_relaxed);
}

LeaveAircraft CurrentLeaveAircraft() { return leaveAircraft.load(std::memory_order_relaxed); }
