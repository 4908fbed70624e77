// Windows file system work of the setup: Saved Games, the DCS folders, and the
// files in their Scripts folder.
#include "tools/dcs_setup/dcs_folders.h"

#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "tools/dcs_setup/export_line.h"

namespace {

constexpr std::wstring_view kConfigName = L"ZovikConfig.lua";
constexpr char kExportShown[] = "Scripts\\Export.lua";
constexpr char kZovikShown[] = "Scripts\\ZOVIK";
// Export.lua and the scripts are small; anything larger is not one of them.
constexpr int64_t kLargestFile = 64 << 20;

std::wstring Widened(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
}

// File names compare as Windows compares them: without regard to case.
bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::string SystemMessage(DWORD code) {
  wchar_t* text = nullptr;
  FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = text != nullptr ? Utf8(text) : std::string();
  LocalFree(text);
  while (!message.empty() &&
         std::string_view("\r\n .").find(message.back()) != std::string_view::npos) {
    message.pop_back();
  }
  if (message.empty()) return "Windows error " + std::to_string(code);
  return message + " (error " + std::to_string(code) + ")";
}

std::string WhyNotWritable(DWORD code) {
  if (code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION) {
    return "another program has it open (close that program, then run this again)";
  }
  return SystemMessage(code);
}

FolderResult Failed(const std::wstring& path, const std::string& why, const char* consequence) {
  return {false, "cannot write " + Utf8(path) + ": " + why + "; " + consequence};
}
constexpr char kNothingChanged[] = "nothing was changed in this folder";
constexpr char kRunAgain[] = "Scripts\\ZOVIK may be incomplete: run this again";

std::string Count(size_t n, const char* what) {
  return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
}

std::string Joined(const std::vector<std::string>& steps) {
  std::string text;
  for (const std::string& step : steps) text += (text.empty() ? "" : ", ") + step;
  return text;
}

bool IsMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

struct FileBytes {
  bool exists = false;
  std::string bytes;
};

// Reads all of an open file; 0 or the Windows error.
DWORD ReadAll(HANDLE file, std::string* bytes) {
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file, &size)) return GetLastError();
  if (size.QuadPart > kLargestFile) return ERROR_FILE_TOO_LARGE;
  bytes->resize(static_cast<size_t>(size.QuadPart));
  size_t done = 0;
  while (done < bytes->size()) {
    DWORD got = 0;
    if (!ReadFile(file, bytes->data() + done, static_cast<DWORD>(bytes->size() - done), &got,
                  nullptr)) {
      return GetLastError();
    }
    if (got == 0) break;
    done += got;
  }
  bytes->resize(done);
  return 0;
}

// A file that may be missing; 0 or the Windows error.
DWORD ReadIfPresent(const std::wstring& path, FileBytes* out) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    out->exists = false;
    return IsMissing(error) ? 0 : error;
  }
  out->exists = true;
  const DWORD error = ReadAll(file, &out->bytes);
  CloseHandle(file);
  return error;
}

// Export.lua, read before we replace it. A read-only file is refused here,
// as Windows itself would refuse the replacement (Wine run as root would
// not), and so is a file another program holds; both before anything else
// in the folder is touched.
bool ReadForReplacing(const std::wstring& path, FileBytes* out, std::string* why) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (IsMissing(error)) return true;
    *why = SystemMessage(error);
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
    *why = "it is a folder";
    return false;
  }
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    *why = "it is read-only (untick Read-only in its Properties, then run this again)";
    return false;
  }
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = WhyNotWritable(GetLastError());
    return false;
  }
  out->exists = true;
  const DWORD error = ReadAll(file, &out->bytes);
  CloseHandle(file);
  if (error != 0) *why = SystemMessage(error);
  return error == 0;
}

// Writes a new file (replacing one of that name); on failure none is left.
DWORD WriteNew(const std::wstring& path, std::string_view bytes) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return GetLastError();
  DWORD error = 0;
  size_t done = 0;
  while (error == 0 && done < bytes.size()) {
    DWORD wrote = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1 << 20));
    if (!WriteFile(file, bytes.data() + done, chunk, &wrote, nullptr)) error = GetLastError();
    done += wrote;
  }
  if (error == 0 && !FlushFileBuffers(file)) error = GetLastError();
  CloseHandle(file);
  if (error != 0) DeleteFileW(path.c_str());
  return error;
}

std::wstring TemporaryBeside(const std::wstring& path) { return path + L".zovik-new"; }

// Moves a finished temporary file over `path`: a reader sees the old file or
// the new one, never half of one.
DWORD MoveOver(const std::wstring& temporary, const std::wstring& path) {
  if (MoveFileExW(temporary.c_str(), path.c_str(),
                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    return 0;
  }
  const DWORD error = GetLastError();
  DeleteFileW(temporary.c_str());
  return error;
}

// Scripts\ZOVIK holds only our files (and the pilot's ZovikConfig.lua): a
// read-only flag on one of ours does not stop their replacement.
DWORD ReplaceOurFile(const std::wstring& path, std::string_view bytes) {
  const std::wstring temporary = TemporaryBeside(path);
  if (const DWORD error = WriteNew(temporary, bytes)) return error;
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return MoveOver(temporary, path);
}

DWORD DeleteOurFile(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) || IsMissing(GetLastError()) ? 0 : GetLastError();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Creates `path` and any missing folder above it, noting each one made.
DWORD MakeFolders(const std::wstring& path, std::vector<std::wstring>* made) {
  if (IsFolder(path)) return 0;
  const size_t slash = path.find_last_of(L"\\/");
  if (slash != std::wstring::npos && slash > 0) {
    if (const DWORD error = MakeFolders(path.substr(0, slash), made)) return error;
  }
  if (!CreateDirectoryW(path.c_str(), nullptr)) return GetLastError();
  made->push_back(path);
  return 0;
}

void RemoveFolders(const std::vector<std::wstring>& made) {
  for (auto folder = made.rbegin(); folder != made.rend(); ++folder) {
    RemoveDirectoryW(folder->c_str());
  }
}

// Files below `root` as paths relative to it ('\' between folders), and its
// subfolders, each listed after what it holds.
struct Tree {
  std::vector<std::wstring> files;
  std::vector<std::wstring> folders;
};
void ListTree(const std::wstring& root, const std::wstring& relative, Tree* tree) {
  const std::wstring base = relative.empty() ? root : root + L"\\" + relative;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((base + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      tree->files.push_back(path);
      continue;
    }
    // A linked folder is removed as a link, never followed.
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) ListTree(root, path, tree);
    tree->folders.push_back(path);
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

std::wstring RelativePath(const EmbeddedScript& script) {
  std::wstring path = Widened(script.relativePath);
  std::replace(path.begin(), path.end(), L'/', L'\\');
  return path;
}

struct ScriptsFolder {
  std::wstring scripts, exportFile, backup, zovik;
  explicit ScriptsFolder(const std::wstring& dcsFolder)
      : scripts(dcsFolder + L"\\Scripts"),
        exportFile(scripts + L"\\Export.lua"),
        backup(exportFile + L".zovik-backup"),
        zovik(scripts + L"\\ZOVIK") {}
};

}  // namespace

std::string Utf8(std::wstring_view text) {
  if (text.empty()) return {};
  const int length = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), length,
                      nullptr, nullptr);
  return utf8;
}

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

FolderResult InstallInto(const std::wstring& dcsFolder, std::span<const EmbeddedScript> scripts) {
  const ScriptsFolder at(dcsFolder);
  FileBytes exportNow;
  std::string why;
  if (!ReadForReplacing(at.exportFile, &exportNow, &why)) {
    return Failed(at.exportFile, why, kNothingChanged);
  }
  const ExportScriptEdit edit = WithOneZovikLine(exportNow.bytes);
  const bool exportChanges = !exportNow.exists || edit.bytes != exportNow.bytes;

  // What Scripts\ZOVIK needs: our files that are missing or differ, and the
  // files no longer ours. An existing ZovikConfig.lua is the pilot's.
  std::vector<const EmbeddedScript*> toWrite;
  size_t ourFilesPresent = 0;
  bool keptConfig = false;
  for (const EmbeddedScript& script : scripts) {
    const std::wstring path = at.zovik + L"\\" + RelativePath(script);
    FileBytes now;
    if (const DWORD error = ReadIfPresent(path, &now)) {
      return Failed(path, SystemMessage(error), kNothingChanged);
    }
    if (now.exists && SameName(RelativePath(script), kConfigName)) {
      keptConfig = true;
      continue;
    }
    ourFilesPresent += now.exists ? 1 : 0;
    const std::string_view wanted(reinterpret_cast<const char*>(script.bytes), script.size);
    if (!now.exists || now.bytes != wanted) toWrite.push_back(&script);
  }
  Tree present;
  ListTree(at.zovik, L"", &present);
  std::vector<std::wstring> stale;
  for (const std::wstring& file : present.files) {
    const bool ours = std::any_of(scripts.begin(), scripts.end(), [&](const EmbeddedScript& s) {
      return SameName(file, RelativePath(s));
    });
    if (!ours && !SameName(file, kConfigName)) stale.push_back(file);
  }
  if (!exportChanges && toWrite.empty() && stale.empty()) return {true, "already set up"};

  // Export.lua's new content is written first, so that a folder it cannot be
  // written to is left as it was; it replaces the old file last, once the
  // scripts it loads are in place.
  std::vector<std::wstring> made;
  const std::wstring exportTemporary = TemporaryBeside(at.exportFile);
  if (exportChanges) {
    DWORD error = MakeFolders(at.scripts, &made);
    if (error == 0) error = WriteNew(exportTemporary, edit.bytes);
    if (error != 0) {
      RemoveFolders(made);
      return Failed(at.exportFile, WhyNotWritable(error), kNothingChanged);
    }
  }
  const auto abandon = [&](const std::wstring& path, DWORD error) {
    if (exportChanges) DeleteFileW(exportTemporary.c_str());
    return Failed(path, SystemMessage(error), kRunAgain);
  };
  for (const EmbeddedScript* script : toWrite) {
    const std::wstring path = at.zovik + L"\\" + RelativePath(*script);
    DWORD error = MakeFolders(path.substr(0, path.find_last_of(L'\\')), &made);
    if (error == 0) {
      error = ReplaceOurFile(path, {reinterpret_cast<const char*>(script->bytes), script->size});
    }
    if (error != 0) return abandon(path, error);
  }
  for (const std::wstring& file : stale) {
    if (const DWORD error = DeleteOurFile(at.zovik + L"\\" + file)) {
      return abandon(at.zovik + L"\\" + file, error);
    }
  }
  // Folders emptied of old files go too; a folder still holding one stays.
  for (const std::wstring& folder : present.folders) {
    RemoveDirectoryW((at.zovik + L"\\" + folder).c_str());
  }
  if (exportChanges) {
    if (exportNow.exists) {
      if (const DWORD error = WriteNew(at.backup, exportNow.bytes))
        return abandon(at.backup, error);
    }
    if (const DWORD error = MoveOver(exportTemporary, at.exportFile)) {
      return Failed(
          at.exportFile, WhyNotWritable(error),
          "the scripts are in Scripts\\ZOVIK, but the game will not load them: run this again");
    }
  }

  std::vector<std::string> done;
  if (!toWrite.empty()) {
    done.push_back(
        ourFilesPresent == 0
            ? std::string("installed ") + kZovikShown + " (" + Count(toWrite.size(), "file") + ")"
            : std::string("updated ") + kZovikShown + " (" + std::to_string(toWrite.size()) +
                  " of " + Count(scripts.size(), "file") + ")");
    if (keptConfig) done.push_back("kept your ZovikConfig.lua");
  }
  if (!stale.empty()) {
    done.push_back("removed " + Count(stale.size(), "old file") + " from " + kZovikShown);
  }
  if (!exportChanges) {
    done.push_back(std::string(kExportShown) + " already had the ZOVIK line");
  } else if (!exportNow.exists) {
    done.push_back(std::string("created ") + kExportShown + " with the ZOVIK line");
  } else if (edit.zovikLinesFound == 0) {
    done.push_back(std::string("added the ZOVIK line to ") + kExportShown);
  } else {
    done.push_back("removed " + Count(edit.zovikLinesFound - 1, "repeated ZOVIK line") + " from " +
                   kExportShown);
  }
  return {true, Joined(done)};
}

FolderResult UninstallFrom(const std::wstring& dcsFolder) {
  const ScriptsFolder at(dcsFolder);
  FileBytes exportNow;
  std::string why;
  if (!ReadForReplacing(at.exportFile, &exportNow, &why)) {
    return Failed(at.exportFile, why, kNothingChanged);
  }
  const ExportScriptEdit edit = WithoutZovikLines(exportNow.bytes);
  const bool exportChanges = exportNow.exists && edit.bytes != exportNow.bytes;

  const bool zovikExisted = IsFolder(at.zovik);
  Tree ours;
  ListTree(at.zovik, L"", &ours);
  const auto config =
      std::find_if(ours.files.begin(), ours.files.end(),
                   [](const std::wstring& file) { return SameName(file, kConfigName); });
  const bool keptConfig = config != ours.files.end();
  if (keptConfig) ours.files.erase(config);
  if (!exportChanges && ours.files.empty() && (keptConfig || !zovikExisted)) {
    return {true, "nothing of ZOVIK here"};
  }

  // The line goes first: the game then never looks for the files removed next.
  if (exportChanges) {
    const std::wstring temporary = TemporaryBeside(at.exportFile);
    DWORD error = WriteNew(temporary, edit.bytes);
    if (error == 0) {
      error = WriteNew(at.backup, exportNow.bytes);
      if (error != 0) DeleteFileW(temporary.c_str());
    }
    if (error == 0) error = MoveOver(temporary, at.exportFile);
    if (error != 0) return Failed(at.exportFile, WhyNotWritable(error), kNothingChanged);
  }
  for (const std::wstring& file : ours.files) {
    if (const DWORD error = DeleteOurFile(at.zovik + L"\\" + file)) {
      return {false, "cannot remove " + Utf8(at.zovik + L"\\" + file) + ": " +
                         SystemMessage(error) + "; run this again"};
    }
  }
  for (const std::wstring& folder : ours.folders) {
    RemoveDirectoryW((at.zovik + L"\\" + folder).c_str());
  }
  RemoveDirectoryW(at.zovik.c_str());

  std::vector<std::string> done;
  if (zovikExisted && (!ours.files.empty() || !keptConfig)) {
    done.push_back(keptConfig ? "removed " + Count(ours.files.size(), "file") + " from " +
                                    kZovikShown + ", kept your ZovikConfig.lua"
                              : std::string("removed ") + kZovikShown + " (" +
                                    Count(ours.files.size(), "file") + ")");
  }
  if (exportChanges) {
    done.push_back(
        std::string("removed ") +
        (edit.zovikLinesFound == 1 ? "the ZOVIK line" : Count(edit.zovikLinesFound, "ZOVIK line")) +
        " from " + kExportShown);
  }
  return {true, Joined(done)};
}
