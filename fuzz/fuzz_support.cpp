#include "fuzz/fuzz_support.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "log/log_file.h"
#include "platform/platform.h"
#include "tests/support/log_lines.h"
#include "tests/support/temp_directory.h"

namespace {

constexpr size_t kPrefixLength = sizeof "[2014-04-16 18:21:31.042][L03] " - 1;

std::string LogPath() {
  std::string path;
  FUZZ_CHECK(PlatformWideToUtf8(g_logFile.FileName(), &path));
  return path;
}

}  // namespace

void OpenLogAtLevel5() {
  // Static, so the directory goes at exit after the last input.
  static TempDirectory directory("zovik-fuzz");
  std::filesystem::create_directory(directory.path() / "zovik_plugin");
  FUZZ_CHECK(setenv("ZOVIK_LOG_LEVEL", "5", 1) == 0);
  g_logFile.Open(directory.PluginPath());
  FUZZ_CHECK(g_logFile.Wants(5) && !g_logFile.Wants(6));
}

void EmptyLog() {
  FILE* file = std::fopen(LogPath().c_str(), "wb");
  FUZZ_CHECK(file != nullptr);
  std::fclose(file);
}

std::string ReadLog() { return ReadFileBytes(PathFromUtf8(LogPath())); }

bool TakeRecord(const std::string& log, size_t* offset, int level, std::string_view message) {
  const std::string prefix = log.substr(*offset, kPrefixLength);
  if (!HasLogPrefix(prefix) || LevelOf(prefix) != level) return false;
  std::string expected;
  for (char c : message) {
    if (c == '\n') {
      expected += kPlatformNewline;
    } else {
      expected.push_back(c);
    }
  }
  expected += kPlatformNewline;
  if (log.compare(*offset + kPrefixLength, expected.size(), expected) != 0) return false;
  *offset += kPrefixLength + expected.size();
  return true;
}
