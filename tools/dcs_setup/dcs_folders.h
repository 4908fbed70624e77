// The pilot's DCS World folders under Saved Games and what the setup does in
// each. File system work on Windows, where the game runs.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/dcs_setup/embedded_scripts.h"

// The user's Saved Games folder: the shell's known folder, else
// %USERPROFILE%\Saved Games. False when neither is known.
bool DefaultSavedGamesFolder(std::wstring* folder);

// Names of the folders directly under `savedGames` called DCS or DCS.<any>
// (DCS.openbeta, ...), sorted. False with *error set when it cannot be read.
bool FindDcsFolders(const std::wstring& savedGames, std::vector<std::wstring>* names,
                    std::string* error);

struct FolderResult {
  bool ok = false;
  std::string message;  // UTF-8: what was done, or why nothing was
};

// Puts `scripts` into Scripts\ZOVIK (an existing ZovikConfig.lua stays) and
// the ZOVIK line into Scripts\Export.lua. When Export.lua cannot be written,
// nothing in the folder changes.
FolderResult InstallInto(const std::wstring& dcsFolder, std::span<const EmbeddedScript> scripts);

// Removes the ZOVIK line(s) from Scripts\Export.lua and Scripts\ZOVIK but
// for ZovikConfig.lua.
FolderResult UninstallFrom(const std::wstring& dcsFolder);

std::string Utf8(std::wstring_view text);
