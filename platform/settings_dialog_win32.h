// The settings dialog's window as other Windows code finds and drives it
// (the window test): its class, title and control IDs.
#pragma once

constexpr wchar_t kSettingsWindowClass[] = L"ZovikSettingsDialog";
constexpr wchar_t kSettingsWindowTitle[] = L"ZOVIK Settings";
constexpr int kLogLevelId = 101;
constexpr int kChatNoticesId = 102;
constexpr int kLeaveAircraftId = 103;
