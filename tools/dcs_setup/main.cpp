// zovik_dcs_setup: puts ZOVIK's game-side scripts into every DCS World folder
// under the pilot's Saved Games, or takes them out again.
//
//   zovik_dcs_setup [install|uninstall] [--saved-games DIR]
//   zovik_dcs_setup --help | -h | --version
//
// Exit status: 0 when every DCS folder succeeded; 1 when one failed, or (for
// install) when there is no DCS folder yet; 2 for a wrong command line.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "plugin_identity.h"
#include "tools/dcs_setup/dcs_folders.h"
#include "tools/dcs_setup/embedded_scripts.h"
#include "tools/dcs_setup/folder_setup.h"
#include "tools/dcs_setup/win32_files.h"

namespace {

// Asked for, the usage goes to standard output and is no error.
int Usage(FILE* to = stderr) {
  std::fprintf(to,
               "usage: zovik_dcs_setup [install|uninstall] [--saved-games DIR]\n"
               "  install (the default) sets up ZOVIK in every DCS World folder of Saved Games\n"
               "  (DCS, DCS.openbeta, ...); uninstall takes it out again and keeps your\n"
               "  ZovikConfig.lua.\n"
               "       zovik_dcs_setup --help | --version\n");
  return to == stdout ? 0 : 2;
}

bool CarriesEntryScript() {
  const auto scripts = EmbeddedScripts();
  return std::any_of(scripts.begin(), scripts.end(), [](const EmbeddedScript& script) {
    return std::string_view(script.relativePath) == "ZovikExport.lua";
  });
}

int Run(bool install, const std::wstring& savedGames) {
  if (!IsFolder(savedGames)) {
    std::printf("There is no folder %s: give your Saved Games folder with --saved-games.\n",
                Utf8(savedGames).c_str());
    return 1;
  }
  if (install && !CarriesEntryScript()) {
    std::printf(
        "This zovik_dcs_setup was built without the DCS scripts (no ZovikExport.lua in it); "
        "nothing was changed.\n");
    return 1;
  }
  std::vector<std::wstring> folders;
  std::string error;
  if (!FindDcsFolders(savedGames, &folders, &error)) {
    std::printf("Cannot read %s: %s\n", Utf8(savedGames).c_str(), error.c_str());
    return 1;
  }
  if (folders.empty()) {
    if (!install) {
      std::printf("No DCS World folder in %s: nothing to remove.\n", Utf8(savedGames).c_str());
      return 0;
    }
    std::printf(
        "No DCS World folder (DCS or DCS.openbeta) in %s: start DCS World once so that it "
        "makes its folder, then run zovik_dcs_setup again.\n",
        Utf8(savedGames).c_str());
    return 1;
  }
  int status = 0;
  for (const std::wstring& name : folders) {
    const std::wstring folder = savedGames + L"\\" + name;
    const FolderResult result = SetUpFolder(
        install ? SetupAction::kInstall : SetupAction::kUninstall, folder, EmbeddedScripts());
    std::printf("%s: %s\n", Utf8(name).c_str(), result.message.c_str());
    if (!result.ok) status = 1;
  }
  return status;
}

// Started by a double-click, the program has a console window of its own
// that would close before the pilot could read it.
void WaitWhenOwnConsole() {
  DWORD processes[2];
  DWORD mode = 0;
  if (GetConsoleProcessList(processes, 2) == 1 &&
      GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode)) {
    std::printf("Press Enter to close this window.");
    std::fflush(stdout);
    std::getchar();
  }
}

int Main(int argc, wchar_t** argv) {
  bool install = true;
  bool actionGiven = false;
  std::wstring savedGames;
  for (int i = 1; i < argc; ++i) {
    const std::wstring argument = argv[i];
    if (argument == L"--help" || argument == L"-h") return Usage(stdout);
    if (argument == L"--version") {
      std::printf("zovik_dcs_setup %s (%s %s)\n", ZOVIK_FILE_VERSION_TEXT, ZOVIK_NAME,
                  ZOVIK_REPORTED_VERSION);
      return 0;
    }
    if ((argument == L"install" || argument == L"uninstall") && !actionGiven) {
      install = argument == L"install";
      actionGiven = true;
    } else if (argument == L"--saved-games" && i + 1 < argc && savedGames.empty() &&
               argv[i + 1][0] != L'\0') {
      // An empty folder (a script's unset variable) is refused rather than
      // taken for "not given": that would set up the real Saved Games.
      savedGames = argv[++i];
    } else {
      return Usage();
    }
  }
  while (savedGames.size() > 3 && (savedGames.back() == L'\\' || savedGames.back() == L'/')) {
    savedGames.pop_back();
  }
  if (savedGames.empty() && !DefaultSavedGamesFolder(&savedGames)) {
    std::printf("Cannot find your Saved Games folder: give it with --saved-games.\n");
    return 1;
  }
  const int status = Run(install, savedGames);
  std::fflush(stdout);
  WaitWhenOwnConsole();
  return status;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Folder names are printed as UTF-8. The code page belongs to the console,
  // which outlives us when started from a command prompt: it is given back.
  const UINT codePage = GetConsoleOutputCP();
  SetConsoleOutputCP(CP_UTF8);
  int status = 1;
  try {
    status = Main(argc, argv);
  } catch (...) {
    // Only memory can run out here: every Windows failure is a return value.
    std::printf("zovik_dcs_setup: out of memory; nothing more was done.\n");
  }
  std::fflush(stdout);
  if (codePage != 0) SetConsoleOutputCP(codePage);
  return status;
}
