// A test's own plugin directory with its log folder, and the process-wide
// log opened in it at a chosen level.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_directory.h"

class LogInTempDirectory {
 public:
  // Opens g_logFile at `level` (the platform's setting is set, then removed).
  explicit LogInTempDirectory(int level, const std::string& leaf = "zovik-plugin");
  std::filesystem::path LogPath() const;
  std::string PluginPath() const { return directory_.PluginPath(); }
  const TempDirectory& directory() const { return directory_; }
  std::vector<std::string> Lines() const;
  // Messages written at `level`, or at every level with -1.
  std::vector<std::string> Messages(int level = -1) const;

 private:
  TempDirectory directory_;
};
