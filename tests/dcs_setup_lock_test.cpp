// An Export.lua another program holds open: zovik_dcs_setup must leave that
// DCS folder as it was and say why. This test is the other program.
#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <string>

#include "tests/support/temp_directory.h"

namespace {

// Runs the setup (beside this test) on `savedGames`; its exit status, or -1.
int RunSetup(const std::filesystem::path& savedGames) {
  wchar_t self[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH * 4);
  if (length == 0 || length >= MAX_PATH * 4) return -1;
  const std::wstring program =
      std::filesystem::path(self).replace_filename(L"zovik_dcs_setup.exe").wstring();
  std::wstring commandLine =
      L"\"" + program + L"\" install --saved-games \"" + savedGames.wstring() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION created{};
  if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &created)) {
    return -1;
  }
  CloseHandle(created.hThread);
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(created.hProcess, 60000) == WAIT_OBJECT_0) {
    GetExitCodeProcess(created.hProcess, &code);
  }
  CloseHandle(created.hProcess);
  return static_cast<int>(code);
}

TEST(DcsSetupLock, HeldExportLuaLeavesTheFolderAsItWas) {
  TempDirectory savedGames("zovik-saved-games");
  const std::filesystem::path scripts = savedGames.path() / "DCS" / "Scripts";
  std::filesystem::create_directories(scripts);
  const std::filesystem::path exportLua = scripts / "Export.lua";
  const std::string before = "dofile(lfs.writedir()..[[Scripts\\Other\\Other.lua]])\r\n";
  {
    const HANDLE file = CreateFileW(exportLua.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                    CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD wrote = 0;
    WriteFile(file, before.data(), static_cast<DWORD>(before.size()), &wrote, nullptr);
    // Held open for writing while the setup runs, as an editor may: others
    // may read it, but not write or replace it.
    EXPECT_EQ(RunSetup(savedGames.path()), 1);
    CloseHandle(file);
  }
  EXPECT_EQ(ReadFileBytes(exportLua), before);
  EXPECT_FALSE(std::filesystem::exists(scripts / "ZOVIK"));
  EXPECT_FALSE(std::filesystem::exists(scripts / "Export.lua.zovik-backup"));
  EXPECT_FALSE(std::filesystem::exists(scripts / "Export.lua.zovik-new"));
}

}  // namespace
