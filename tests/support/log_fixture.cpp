#include "tests/support/log_fixture.h"

#include "log/log_file.h"
#include "tests/support/level_setting.h"
#include "tests/support/log_lines.h"

LogInTempDirectory::LogInTempDirectory(int level, const std::string& leaf) : directory_(leaf) {
  std::filesystem::create_directory(directory_.path() / "zovik_plugin");
  SetLogLevelText(std::to_wstring(level));
  g_logFile.Open(directory_.PluginPath());
  RemoveLogLevel();
}

std::filesystem::path LogInTempDirectory::LogPath() const {
  return directory_.path() / "zovik_plugin" / "zovik_plugin.log";
}

std::vector<std::string> LogInTempDirectory::Lines() const {
  return SplitLogLines(ReadFileBytes(LogPath()));
}

std::vector<std::string> LogInTempDirectory::Messages(int level) const {
  return ::Messages(Lines(), level);
}
