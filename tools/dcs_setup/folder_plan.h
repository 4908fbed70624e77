// What to do to one DCS folder, decided from what was read there. Pure: every
// case is tested without Windows; the executor (folder_setup_win32.cpp) only
// reads, then carries the plan out.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tools/dcs_setup/embedded_scripts.h"

enum class SetupAction { kInstall, kUninstall };

// Paths below Scripts\ZOVIK are UTF-8 with '/' between folders.
struct FolderState {
  std::optional<std::string> exportLua;  // Scripts\Export.lua; nullopt when missing
  bool exportLuaLinked = false;          // it is a link to a file elsewhere
  std::optional<std::string> record;     // the install record; nullopt when missing
  bool zovikFolder = false;              // Scripts\ZOVIK exists
  struct File {
    std::string path;
    std::optional<std::string> bytes;  // read for the names the setup ships only
  };
  std::vector<File> zovikFiles;  // every file below Scripts\ZOVIK
};

struct FolderPlan {
  bool refused = false;  // nothing is to be done: `message` says why, the folder fails
  // Carried out in this order, each step only once the ones before it
  // succeeded (uninstall takes the Export.lua steps first: the game then never
  // looks for the files removed after).
  std::vector<const EmbeddedScript*> writeFiles;  // into Scripts\ZOVIK
  std::vector<std::string> deleteFiles;
  std::vector<std::string> removeFolders;  // each only when empty; "" is Scripts\ZOVIK
  std::optional<std::string> writeRecord;
  bool deleteRecord = false;
  bool backupExportLua = false;          // the bytes read go to Export.lua.zovik-backup
  std::optional<std::string> exportLua;  // replaces (or creates) Export.lua
  bool deleteExportLua = false;
  std::string message;  // one line, UTF-8: what was done when all went well
};

// The script the setup ships under `path`, compared as Windows compares file
// names; nullptr when none.
const EmbeddedScript* ShippedAs(std::span<const EmbeddedScript> scripts, std::string_view path);

FolderPlan PlanFolder(SetupAction action, const FolderState& state,
                      std::span<const EmbeddedScript> scripts);
