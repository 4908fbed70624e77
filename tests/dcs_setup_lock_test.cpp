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

}  // namespace
