#include <cstdlib>

#include "tests/support/level_setting.h"

void SetLogLevelText(const std::wstring& text) {
  std::string narrow;
  for (wchar_t c : text) narrow.push_back(static_cast<char>(c));
  setenv("ZOVIK_LOG_LEVEL", narrow.c_str(), 1);
}

bool SetLogLevelNumber(unsigned long) { return false; }

void RemoveLogLevel() { unsetenv("ZOVIK_LOG_LEVEL"); }
