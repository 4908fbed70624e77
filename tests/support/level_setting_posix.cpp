#include <cstdlib>

#include "tests/support/level_setting.h"

void SetSettingText(Setting setting, const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow.push_back(static_cast<char>(c));
  setenv(NamesOf(setting).environmentVariable, narrow.c_str(), 1);
}

bool SetSettingNumber(Setting, unsigned long) { return false; }

void RemoveSetting(Setting setting) { unsetenv(NamesOf(setting).environmentVariable); }
