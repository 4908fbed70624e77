#include "tools/dcs_setup/win32_files.h"

#include <algorithm>
#include <cstdint>

namespace {

// Export.lua and the scripts are small; anything larger is not one of them.
constexpr int64_t kLargestFile = 64 << 20;
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr DWORD kSettableAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                      FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                      FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

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

std::wstring Widened(std::string_view utf8) {
  if (utf8.empty()) return {};
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
  return wide;
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

bool IsMissing(DWORD code) { return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND; }

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

DWORD ReadIfPresent(const std::wstring& path, std::optional<std::string>* bytes) {
  bytes->reset();
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return IsMissing(error) ? 0 : error;
  }
  std::string read;
  const DWORD error = ReadAll(file, &read);
  CloseHandle(file);
  if (error == 0) *bytes = std::move(read);
  return error;
}

std::wstring FinalPath(HANDLE file) {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        GetFinalPathNameByHandleW(file, path.data(), static_cast<DWORD>(path.size()), 0);
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(length);
  }
}

std::wstring TemporaryBeside(const std::wstring& path) { return path + L".zovik-new"; }

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

DWORD MoveOver(const std::wstring& temporary, const std::wstring& path, bool replace) {
  const DWORD flags = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
  if (g_moveFile(temporary.c_str(), path.c_str(), flags)) return 0;
  const DWORD error = GetLastError();
  DeleteFileW(temporary.c_str());
  return error;
}

DWORD ReplaceKeepingAttributes(const std::wstring& path, const std::wstring& temporary,
                               DWORD attributes, std::wstring* aside, ReplacedHolds* holds) {
  *holds = ReplacedHolds::kOld;
  // ReplaceFileW wants the name free, and one left by an earlier run may be
  // the only copy of a pilot's file: the first free name is taken.
  const std::wstring base = *aside;
  for (int n = 2; GetFileAttributesW(aside->c_str()) != INVALID_FILE_ATTRIBUTES; ++n) {
    *aside = base + L"-" + std::to_wstring(n);
  }
  if (!g_replaceFile(path.c_str(), temporary.c_str(), aside->c_str(),
                     REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr)) {
    const DWORD error = GetLastError();
    // 1175, and 1176 given a backup name, leave both files under their own
    // names; 1177 leaves the old file under the backup name only. Whatever
    // the code says, the names on disk decide what is put back.
    const bool pathGone =
        GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && IsMissing(GetLastError());
    if (pathGone && !g_moveFile(aside->c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
      // The old bytes stay aside; the new ones are better under the name
      // than nothing.
      *holds = g_moveFile(temporary.c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)
                   ? ReplacedHolds::kNew
                   : ReplacedHolds::kOnlyAside;
    }
    DeleteFileW(temporary.c_str());
    if (*holds == ReplacedHolds::kOld) DeleteFileW(aside->c_str());
    return error;
  }
  *holds = ReplacedHolds::kNew;
  DeleteFileW(aside->c_str());
  // Windows carries the attributes over itself; Wine does not.
  const DWORD now = GetFileAttributesW(path.c_str());
  const DWORD wanted = attributes & kSettableAttributes;
  if (now != INVALID_FILE_ATTRIBUTES && (now & kSettableAttributes) != wanted) {
    SetFileAttributesW(path.c_str(), wanted != 0 ? wanted : FILE_ATTRIBUTE_NORMAL);
  }
  return 0;
}

DWORD DeleteOurFile(const std::wstring& path) {
  SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
  return DeleteFileW(path.c_str()) || IsMissing(GetLastError()) ? 0 : GetLastError();
}

bool IsFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

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
