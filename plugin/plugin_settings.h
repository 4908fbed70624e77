// What the pilot may set in the package library, read at start and changed
// at once by the settings dialog. The fixed API 20 build reads only the log
// level, as it always did.
#pragma once

enum class LeaveAircraft { kStay, kBackToMyChannel };

struct PluginSettings {
  int logLevel = 0;
  bool chatNotices = true;
  LeaveAircraft leaveAircraft = LeaveAircraft::kStay;
};

// The settings as the platform keeps them now; a missing value is its default.
PluginSettings ReadPluginSettings();

// Makes `settings` count from now on: chat notices and what leaving the
// aircraft does. Host's thread, or the dialog's.
void ApplyPluginSettings(const PluginSettings& settings);

// What leaving the aircraft (the datagram 0) does now. Any thread.
LeaveAircraft CurrentLeaveAircraft();
