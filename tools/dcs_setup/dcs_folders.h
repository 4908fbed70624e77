// The pilot's DCS World folders under Saved Games.
#pragma once

#include <string>
#include <vector>

// The user's Saved Games folder: the shell's known folder, else
// %USERPROFILE%\Saved Games. False when neither is known.
bool DefaultSavedGamesFolder(std::wstring* folder);

// Names of the folders directly under `savedGames` called DCS or DCS.<any>
// (DCS.openbeta, ...), sorted. False with *error set when it cannot be read.
bool FindDcsFolders(const std::wstring& savedGames, std::vector<std::wstring>* names,
                    std::string* error);
