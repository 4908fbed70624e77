#include <windows.h>

#include "tools/dcs_setup/dcs_folders.h"
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <string_view>

#include "tools/dcs_setup/win32_files.h"

namespace {

// Folder names compare as Windows compares them: without regard to case.
bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

bool DefaultSavedGamesFolder(std::wstring* folder) {
  wchar_t* known = nullptr;
  const bool found = SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SavedGames, 0, nullptr, &known));
  if (found && known != nullptr) *folder = known;
  CoTaskMemFree(known);
  if (found) return true;
  wchar_t profile[MAX_PATH * 4];
  const DWORD length = GetEnvironmentVariableW(L"USERPROFILE", profile, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return false;
  *folder = std::wstring(profile, length) + L"\\Saved Games";
  return true;
}

bool FindDcsFolders(const std::wstring& savedGames, std::vector<std::wstring>* names,
                    std::string* error) {
  names->clear();
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((savedGames + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return true;
    *error = SystemMessage(code);
    return false;
  }
  do {
    const std::wstring_view name = found.cFileName;
    const bool dcs =
        SameName(name, L"DCS") || (name.size() > 4 && SameName(name.substr(0, 4), L"DCS."));
    if (dcs && (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names->emplace_back(name);
  } while (FindNextFileW(search, &found));
  FindClose(search);
  std::sort(names->begin(), names->end());
  return true;
}
