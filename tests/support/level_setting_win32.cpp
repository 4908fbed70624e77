#include <windows.h>

#include "tests/support/level_setting.h"

namespace {
constexpr wchar_t kKey[] = L"Software\\Wemto\\ZOVIK";

// The machine's key, written by the tests. A user's value (left by a .reg
// file of the package library) is removed first: it would win.
HKEY OpenKey(Setting setting) {
  RegDeleteKeyValueW(HKEY_CURRENT_USER, kKey, NamesOf(setting).registryValue);
  HKEY key = nullptr;
  RegCreateKeyExW(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
  return key;
}
}  // namespace

void SetSettingText(Setting setting, const std::wstring& text) {
  HKEY key = OpenKey(setting);
  RegSetValueExW(key, NamesOf(setting).registryValue, 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(text.c_str()),
                 static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
}

bool SetSettingNumber(Setting setting, unsigned long number) {
  HKEY key = OpenKey(setting);
  const DWORD value = number;
  RegSetValueExW(key, NamesOf(setting).registryValue, 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&value), sizeof value);
  RegCloseKey(key);
  return true;
}

void RemoveSetting(Setting setting) {
  HKEY key = OpenKey(setting);
  RegDeleteValueW(key, NamesOf(setting).registryValue);
  RegCloseKey(key);
}
