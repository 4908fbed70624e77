// The setup's file work on Windows: small whole files, read at once and
// written so that a reader sees the old file or the new one, never half of
// one. Results are Windows error codes, 0 when done.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

std::string Utf8(std::wstring_view text);
std::wstring Widened(std::string_view utf8);

// "Access is denied (error 5)": the system's words, for the pilot.
std::string SystemMessage(DWORD code);
// The same, with the cure for a file another program holds.
std::string WhyNotWritable(DWORD code);
bool IsMissing(DWORD code);

DWORD ReadAll(HANDLE file, std::string* bytes);
// *bytes is nullopt for a missing file.
DWORD ReadIfPresent(const std::wstring& path, std::optional<std::string>* bytes);

// The path Windows reaches through every link and junction on the way, in
// the \\?\ form; empty when it cannot be told.
std::wstring FinalPath(HANDLE file);

std::wstring TemporaryBeside(const std::wstring& path);
// Writes a new file (replacing one of that name); on failure none is left.
DWORD WriteNew(const std::wstring& path, std::string_view bytes);
// Moves a finished temporary file over `path` (or to it, when `replace` is
// false and there is none); the temporary file goes on failure.
DWORD MoveOver(const std::wstring& temporary, const std::wstring& path, bool replace = true);
// ReplaceFileW, replaceable so that tests can make it fail as Windows
// documents it may, leaving the files where each failure leaves them.
using ReplaceFileFunction = BOOL(WINAPI*)(LPCWSTR replaced, LPCWSTR replacement,
                                          LPCWSTR backup, DWORD flags, LPVOID, LPVOID);
inline ReplaceFileFunction g_replaceFile = &ReplaceFileW;

// MoveFileExW, replaceable so that tests can make one move fail.
using MoveFileFunction = BOOL(WINAPI*)(LPCWSTR from, LPCWSTR to, DWORD flags);
inline MoveFileFunction g_moveFile = &MoveFileExW;

// What the replaced file holds after ReplaceKeepingAttributes.
enum class ReplacedHolds {
  kNew,       // the temporary file's bytes
  kOld,       // its own bytes, as before
  kOnlyAside  // its old bytes, but only under the name `aside`: neither could be put back
};

// Replaces the file at `path` (a final path) by the temporary one, keeping
// its attributes and, on Windows, its security and its links. The old file
// passes through *aside (a name beside it, numbered when taken; the one used
// is left there): whatever fails, `path` ends holding the old bytes or the
// new ones unless *holds says otherwise, and no temporary file is left.
DWORD ReplaceKeepingAttributes(const std::wstring& path, const std::wstring& temporary,
                               DWORD attributes, std::wstring* aside, ReplacedHolds* holds);
// Deletes a file of ours, read-only or not; a missing one is no error.
DWORD DeleteOurFile(const std::wstring& path);

bool IsFolder(const std::wstring& path);
// Creates `path` and any missing folder above it, noting each one made.
DWORD MakeFolders(const std::wstring& path, std::vector<std::wstring>* made);
void RemoveFolders(const std::vector<std::wstring>& made);
