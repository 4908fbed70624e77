// The setup of one DCS folder on Windows: reads what is there, asks the
// planner (folder_plan.h) what to do, and does it.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "tools/dcs_setup/embedded_scripts.h"
#include "tools/dcs_setup/folder_plan.h"

struct FolderResult {
  bool ok = false;
  std::string message;  // UTF-8, one line: what was done, or why not
};

// Export.lua is replaced only if it still holds what was planned from: when
// another program changed it meanwhile, everything is read and planned
// again, once. `beforeExportReplaced` runs just before that check (a test
// plays the other program there).
FolderResult SetUpFolder(SetupAction action, const std::wstring& dcsFolder,
                         std::span<const EmbeddedScript> scripts,
                         const std::function<void()>& beforeExportReplaced = {});
