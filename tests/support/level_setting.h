// Sets the plugin's settings where the platform keeps them: registry values
// ("Log Level", "Chat Notices") on Windows, ZOVIK_LOG_LEVEL and
// ZOVIK_CHAT_NOTICES on Linux.
#pragma once

#include <string>

#include "platform/platform.h"

void SetSettingText(Setting setting, const std::wstring& text);
// A number rather than text (REG_DWORD); false where the platform has none.
bool SetSettingNumber(Setting setting, unsigned long number);
void RemoveSetting(Setting setting);

inline void SetLogLevelText(const std::wstring& text) { SetSettingText(Setting::kLogLevel, text); }
inline bool SetLogLevelNumber(unsigned long number) {
  return SetSettingNumber(Setting::kLogLevel, number);
}
inline void RemoveLogLevel() { RemoveSetting(Setting::kLogLevel); }
