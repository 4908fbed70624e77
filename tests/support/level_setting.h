// Sets the plugin's log level where the platform keeps it: the registry
// value "Log Level" on Windows, ZOVIK_LOG_LEVEL on Linux.
#pragma once

#include <string>

void SetLogLevelText(const std::wstring& text);
// A number rather than text (REG_DWORD); false where the platform has none.
bool SetLogLevelNumber(unsigned long number);
void RemoveLogLevel();
