// Export.lua and its backup as other programs share them: held open, changed
// between our read and our replacement, hidden. The setup must leave a
// neighbour's bytes alone and say why. This test drives the folder setup
// directly and plays the other program itself.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_directory.h"
#include "tools/dcs_setup/export_line.h"
#include "tools/dcs_setup/folder_setup.h"
#include "tools/dcs_setup/install_record.h"
#include "tools/dcs_setup/win32_files.h"

namespace {

const unsigned char kEntryBytes[] = "-- entry";
const EmbeddedScript kScripts[] = {{"ZovikExport.lua", kEntryBytes, sizeof kEntryBytes - 1}};
const std::string kOther = "dofile(lfs.writedir()..[[Scripts\\Other\\Other.lua]])\r\n";
const std::string kLine = std::string(kZovikExportLine) + "\r\n";

class DcsSetupLock : public ::testing::Test {
 protected:
  DcsSetupLock() : scripts_(dcs_.path() / "Scripts"), exportLua_(scripts_ / "Export.lua") {
    std::filesystem::create_directories(scripts_);
    Write(exportLua_, kOther);
  }

  static void Write(const std::filesystem::path& path, const std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
    CloseHandle(file);
  }

  FolderResult Install(const std::function<void()>& between = {}) {
    return SetUpFolder(SetupAction::kInstall, dcs_.path().wstring(), kScripts, between);
  }

  // Only Export.lua, as the test made it: nothing of ours, no temporary file.
  void ExpectUntouched(const std::string& exportBytes) {
    EXPECT_EQ(ReadFileBytes(exportLua_), exportBytes);
    EXPECT_FALSE(std::filesystem::exists(scripts_ / "ZOVIK"));
    EXPECT_FALSE(std::filesystem::exists(scripts_ / "Export.lua.zovik-new"));
  }

  TempDirectory dcs_{"zovik-dcs-élève"};
  std::filesystem::path scripts_, exportLua_;
};

// Export.lua held open for writing, as an editor may (others may read it,
// but not write or replace it), or its backup held by a reader.
TEST_F(DcsSetupLock, HeldFilesLeaveTheFolderAsItWas) {
  const std::filesystem::path backup = scripts_ / "Export.lua.zovik-backup";
  const struct {
    std::filesystem::path file;
    DWORD access;
    const char* says;
  } cases[] = {
      {exportLua_, GENERIC_WRITE, "another program has it open"},
      {backup, GENERIC_READ, "the previous backup stays, nothing was changed"},
  };
  for (const auto& c : cases) {
    Write(backup, "-- the previous backup\r\n");
    const HANDLE held = CreateFileW(c.file.c_str(), c.access, FILE_SHARE_READ, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const FolderResult result = Install();
    CloseHandle(held);
    EXPECT_FALSE(result.ok);
    EXPECT_NE(result.message.find(c.says), std::string::npos) << result.message;
    EXPECT_EQ(ReadFileBytes(backup), "-- the previous backup\r\n");
    ExpectUntouched(kOther);
  }
}

TEST_F(DcsSetupLock, ExportLuaChangedUnderUsIsReadAgainOnce) {
  for (const int changes : {1, 2}) {
    Write(exportLua_, kOther);
    std::filesystem::remove_all(scripts_ / "ZOVIK");
    int made = 0;
    std::string neighbour;
    const FolderResult result = Install([&] {
      if (made == changes) return;
      neighbour = kOther + "-- another installer, run " + std::to_string(++made) + "\r\n";
      Write(exportLua_, neighbour);
    });
    EXPECT_EQ(made, changes);
    if (changes == 1) {
      EXPECT_TRUE(result.ok) << result.message;
      EXPECT_EQ(ReadFileBytes(exportLua_), neighbour + kLine);
      EXPECT_EQ(ReadFileBytes(scripts_ / "Export.lua.zovik-backup"), neighbour);
    } else {
      EXPECT_FALSE(result.ok);
      EXPECT_NE(result.message.find("changed while this ran"), std::string::npos) << result.message;
      ExpectUntouched(neighbour);
    }
  }
}

TEST_F(DcsSetupLock, AttributesOfExportLuaSurvive) {
  const DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE;
  ASSERT_TRUE(SetFileAttributesW(exportLua_.c_str(), attributes));
  const FolderResult result = Install();
  EXPECT_TRUE(result.ok) << result.message;
  EXPECT_EQ(ReadFileBytes(exportLua_), kOther + kLine);
  EXPECT_EQ(GetFileAttributesW(exportLua_.c_str()), attributes);
  SetFileAttributesW(exportLua_.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ReplaceFileW failing as Windows documents: 1175 and 1176 (given a backup
// name) leave both files under their names; 1177 leaves the old file under
// the backup name only.
DWORD g_replaceError = 0;
BOOL WINAPI FailingReplace(LPCWSTR replaced, LPCWSTR, LPCWSTR backup, DWORD, LPVOID, LPVOID) {
  if (g_replaceError == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) MoveFileW(replaced, backup);
  SetLastError(g_replaceError);
  return FALSE;
}

TEST_F(DcsSetupLock, AFailedReplacementLeavesExportLuaWhole) {
  for (const DWORD error : {ERROR_UNABLE_TO_REMOVE_REPLACED, ERROR_UNABLE_TO_MOVE_REPLACEMENT,
                            ERROR_UNABLE_TO_MOVE_REPLACEMENT_2}) {
    std::filesystem::remove_all(scripts_ / "ZOVIK");
    g_replaceError = error;
    g_replaceFile = &FailingReplace;
    const FolderResult result = Install();
    g_replaceFile = &ReplaceFileW;
    EXPECT_FALSE(result.ok) << error;
    EXPECT_NE(result.message.find("it still holds what it held"), std::string::npos)
        << result.message;
    EXPECT_EQ(ReadFileBytes(exportLua_), kOther) << error;
    EXPECT_FALSE(std::filesystem::exists(scripts_ / "Export.lua.zovik-new")) << error;
    EXPECT_FALSE(std::filesystem::exists(scripts_ / "Export.lua.zovik-replaced")) << error;
  }
}

BOOL WINAPI FailingMoveToExportLua(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (std::wstring_view(to).ends_with(L"\\Export.lua")) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

// Neither put back nor replaced: the old bytes stay under a name the message
// gives, beside an earlier such file, which is never overwritten.
TEST_F(DcsSetupLock, ExportLuaThatCannotBePutBackStaysAsideAndIsNamed) {
  Write(scripts_ / "Export.lua.zovik-replaced", "-- an earlier run's\r\n");
  g_replaceError = ERROR_UNABLE_TO_MOVE_REPLACEMENT_2;
  g_replaceFile = &FailingReplace;
  g_moveFile = &FailingMoveToExportLua;
  const FolderResult result = Install();
  g_replaceFile = &ReplaceFileW;
  g_moveFile = &MoveFileExW;
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("Export.lua.zovik-replaced-2: rename that file back"),
            std::string::npos)
      << result.message;
  EXPECT_EQ(ReadFileBytes(scripts_ / "Export.lua.zovik-replaced-2"), kOther);
  EXPECT_EQ(ReadFileBytes(scripts_ / "Export.lua.zovik-replaced"), "-- an earlier run's\r\n");
  EXPECT_FALSE(std::filesystem::exists(scripts_ / "Export.lua.zovik-new"));
}

BOOL WINAPI FailingMoveToSecond(LPCWSTR from, LPCWSTR to, DWORD flags) {
  if (std::wstring_view(to).ends_with(L"second.lua")) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return MoveFileExW(from, to, flags);
}

// The second of two files cannot be replaced: the first, already in, goes
// back to its old bytes, and a file the update would remove stays.
TEST_F(DcsSetupLock, AnUpdateFailingPartWayLeavesTheOldSetWhole) {
  const unsigned char oldBytes[] = "-- old", newBytes[] = "-- new";
  const EmbeddedScript before[] = {{"ZovikExport.lua", oldBytes, sizeof oldBytes - 1},
                                   {"lib/first.lua", oldBytes, sizeof oldBytes - 1},
                                   {"lib/second.lua", oldBytes, sizeof oldBytes - 1},
                                   {"lib/gone.lua", oldBytes, sizeof oldBytes - 1}};
  const EmbeddedScript after[] = {{"ZovikExport.lua", newBytes, sizeof newBytes - 1},
                                  {"lib/first.lua", newBytes, sizeof newBytes - 1},
                                  {"lib/second.lua", newBytes, sizeof newBytes - 1}};
  ASSERT_TRUE(SetUpFolder(SetupAction::kInstall, dcs_.path().wstring(), before).ok);
  const std::filesystem::path zovik = scripts_ / "ZOVIK";
  const std::string record = ReadFileBytes(zovik / std::string(kRecordName));
  g_moveFile = &FailingMoveToSecond;
  const FolderResult result = SetUpFolder(SetupAction::kInstall, dcs_.path().wstring(), after);
  g_moveFile = &MoveFileExW;
  EXPECT_FALSE(result.ok);
  EXPECT_NE(result.message.find("the update did not happen"), std::string::npos)
      << result.message;
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(zovik)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const bool script = entry.path().extension() == ".lua";
    if (script) {
      EXPECT_EQ(ReadFileBytes(entry.path()), "-- old") << entry.path();
    }
  }
  EXPECT_EQ(files, 5u);  // the four scripts and the record, nothing left aside
  EXPECT_EQ(ReadFileBytes(zovik / std::string(kRecordName)), record);
}

// What an update drops and what uninstall removes take their folders with
// them once nothing else is left there.
TEST_F(DcsSetupLock, EmptiedFoldersGo) {
  const unsigned char bytes[] = "-- a module";
  const EmbeddedScript before[] = {{"ZovikExport.lua", bytes, sizeof bytes - 1},
                                   {"old/gone.lua", bytes, sizeof bytes - 1},
                                   {"lib/kept.lua", bytes, sizeof bytes - 1}};
  const EmbeddedScript after[] = {{"ZovikExport.lua", bytes, sizeof bytes - 1},
                                  {"lib/kept.lua", bytes, sizeof bytes - 1}};
  const std::filesystem::path zovik = scripts_ / "ZOVIK";
  ASSERT_TRUE(SetUpFolder(SetupAction::kInstall, dcs_.path().wstring(), before).ok);
  ASSERT_TRUE(SetUpFolder(SetupAction::kInstall, dcs_.path().wstring(), after).ok);
  EXPECT_FALSE(std::filesystem::exists(zovik / "old"));
  EXPECT_TRUE(std::filesystem::exists(zovik / "lib" / "kept.lua"));
  const FolderResult removed = SetUpFolder(SetupAction::kUninstall, dcs_.path().wstring(), after);
  EXPECT_TRUE(removed.ok) << removed.message;
  EXPECT_FALSE(std::filesystem::exists(zovik)) << removed.message;
}

}  // namespace
