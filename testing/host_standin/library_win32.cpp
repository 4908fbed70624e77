// Windows loader calls of the host stand-in.
#include <windows.h>

#include <string>

#include "testing/host_standin/plugin_library.h"

namespace {

std::wstring Wide(const std::string& utf8) {
  const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring wide(needed > 0 ? needed : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), needed);
  wide.resize(wcslen(wide.c_str()));
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  const int needed = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(needed > 0 ? needed : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, utf8.data(), needed, nullptr, nullptr);
  utf8.resize(strlen(utf8.c_str()));
  return utf8;
}

}  // namespace

void* OpenLibrary(const std::string& utf8Path, std::string* error) {
  HMODULE library = LoadLibraryW(Wide(utf8Path).c_str());
  if (library == nullptr) *error = "LoadLibraryW failed, error " + std::to_string(GetLastError());
  return reinterpret_cast<void*>(library);
}

void* FindSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void CloseLibrary(void* library) { FreeLibrary(static_cast<HMODULE>(library)); }

std::string ProgramDirectory() {
  wchar_t path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
  if (length == 0) return ".\\";
  std::wstring program(path, length);
  return Utf8(program.substr(0, program.find_last_of(L"\\/") + 1));
}

const char* PluginFileName() { return "zovik_win64.dll"; }
