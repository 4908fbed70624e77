#include "log/log_file.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/platform.h"
#include "tests/support/level_setting.h"
#include "tests/support/log_lines.h"
#include "tests/support/temp_directory.h"

namespace {

namespace fs = std::filesystem;

// A plugin directory with its log folder, as the package installs it.
struct PluginDirectory {
  explicit PluginDirectory(const std::string& leaf = "zovik-log") : directory(leaf) {
    fs::create_directory(directory.path() / "zovik_plugin");
  }
  fs::path LogPath() const { return directory.path() / "zovik_plugin" / "zovik_plugin.log"; }
  std::vector<std::string> Lines() const { return SplitLogLines(ReadFileBytes(LogPath())); }
  TempDirectory directory;
};

class LogFileTest : public ::testing::Test {
 protected:
  void TearDown() override { RemoveLogLevel(); }
};

TEST_F(LogFileTest, LineIsPrefixMessageAndNewline) {
  RemoveLogLevel();
  PluginDirectory plugin;
  CLogFile log;
  log.Open(plugin.directory.PluginPath());
  ASSERT_EQ(log.Write(L"first message", 3), 0);
  ASSERT_EQ(log.Write(WidenBytes("two\nlines"), 5), 0);
  ASSERT_EQ(log.Write(WidenBytes("[Fr\xC3\xA9quences 251]"), 2), 0);

  const std::string bytes = ReadFileBytes(plugin.LogPath());
  const std::string nl = kPlatformNewline;
  // Byte for byte after the time stamps, which are checked by shape.
  const std::vector<std::string> lines = SplitLogLines(bytes);
  ASSERT_EQ(lines.size(), 5u) << bytes;
  for (size_t i : {0u, 1u, 2u, 4u}) EXPECT_TRUE(HasLogPrefix(lines[i])) << lines[i];
  EXPECT_EQ(lines[0].substr(25), "[L00] Initialize Log file with 0 level");
  EXPECT_EQ(lines[1].substr(25), "[L03] first message");
  EXPECT_EQ(lines[2].substr(25), "[L05] two");
  EXPECT_EQ(lines[3], "lines");  // an embedded line feed becomes a whole line end
  EXPECT_EQ(lines[4].substr(25), "[L02] [Fr\xC3\xA9quences 251]");
  EXPECT_EQ(bytes.substr(bytes.size() - nl.size() - 1), "]" + nl);
  if (nl == "\r\n") {
    // No bare line feed anywhere on Windows.
    for (size_t at = bytes.find('\n'); at != std::string::npos; at = bytes.find('\n', at + 1)) {
      ASSERT_GT(at, 0u);
      EXPECT_EQ(bytes[at - 1], '\r') << "bare LF at byte " << at;
    }
  }
}

TEST_F(LogFileTest, OpenRecreatesTheFileEmpty) {
  RemoveLogLevel();
  PluginDirectory plugin;
  CLogFile log;
  log.Open(plugin.directory.PluginPath());
  log.Write(L"from the first start", 0);
  log.Open(plugin.directory.PluginPath());
  EXPECT_EQ(Messages(plugin.Lines()),
            std::vector<std::string>{"Initialize Log file with 0 level"});
}

struct LevelCase {
  const char* name;
  const wchar_t* text;  // null: no value at all
  int level;
};

TEST_F(LogFileTest, LevelComesFromTheSettingReadAsText) {
  const LevelCase cases[] = {
      {"missing", nullptr, 0},  {"three", L"3", 3},         {"five", L"5", 5},
      {"off", L"-1", -1},       {"letters", L"abc", 0},     {"empty", L"", 0},
      {"blank", L" 4", 4},      {"trailing", L"3 levels", 3}, {"above", L"9", 9},
      {"huge", L"99999999999", INT_MAX},
  };
  for (const LevelCase& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.text == nullptr) {
      RemoveLogLevel();
    } else {
      SetLogLevelText(c.text);
    }
    PluginDirectory plugin;
    CLogFile log;
    log.Open(plugin.directory.PluginPath());
    EXPECT_EQ(log.logLevel.load(), c.level);
    ASSERT_TRUE(fs::exists(plugin.LogPath()));
    const std::vector<std::string> lines = plugin.Lines();
    if (c.level < 0) {
      EXPECT_TRUE(lines.empty());
    } else {
      ASSERT_EQ(lines.size(), 1u);
      EXPECT_EQ(MessageOf(lines[0]),
                "Initialize Log file with " + std::to_string(c.level) + " level");
      EXPECT_EQ(LevelOf(lines[0]), 0);
    }
  }
}

TEST_F(LogFileTest, NumericSettingIsReadAsItsNumber) {
  const struct {
    unsigned long number;
    int level;
  } cases[] = {{3, 3}, {0, 0}, {5, 5}, {0xFFFFFFFFul, -1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    if (!SetLogLevelNumber(c.number)) GTEST_SKIP() << "this platform keeps the level as text only";
    PluginDirectory plugin;
    CLogFile log;
    log.Open(plugin.directory.PluginPath());
    EXPECT_EQ(log.logLevel.load(), c.level);
    if (c.level >= 0) {
      EXPECT_EQ(MessageOf(plugin.Lines().at(0)),
                "Initialize Log file with " + std::to_string(c.level) + " level");
    }
  }
}

TEST_F(LogFileTest, LevelsGateMessagesAtTheCallSite) {
  SetLogLevelText(L"3");
  CLogFile log;
  PluginDirectory plugin;
  log.Open(plugin.directory.PluginPath());
  for (int level = 0; level <= 5; ++level) {
    if (log.Wants(level)) log.Write(L"message of level " + std::to_wstring(level), level);
  }
  EXPECT_EQ(Messages(plugin.Lines()),
            (std::vector<std::string>{"Initialize Log file with 3 level", "message of level 0",
                                      "message of level 1", "message of level 2",
                                      "message of level 3"}));
}

// The settings dialog's OK changes the level while the listener writes.
TEST_F(LogFileTest, LevelChangedAtRunTimeCountsAtOnceAndIsLogged) {
  SetLogLevelText(L"0");
  CLogFile log;
  PluginDirectory plugin;
  log.Open(plugin.directory.PluginPath());
  const std::vector<int> steps = {3, 3, -1, 5, 0};  // the same level twice says nothing
  for (int level : steps) {
    log.SetLevel(level);
    if (log.Wants(3)) log.Write(L"at level 3", 3);
  }
  std::vector<std::string> tagged;
  for (const std::string& line : plugin.Lines()) {
    tagged.push_back("L0" + std::to_string(LevelOf(line)) + " " + MessageOf(line));
  }
  EXPECT_EQ(tagged,
            (std::vector<std::string>{"L00 Initialize Log file with 0 level", "L00 Log level set to 3",
                                      "L03 at level 3", "L03 at level 3", "L00 Log level set to -1",
                                      "L00 Log level set to 5", "L03 at level 3",
                                      "L00 Log level set to 0"}));
  // Without a file there is nothing to change.
  TempDirectory bare;
  log.Open(bare.PluginPath());
  log.SetLevel(5);
  EXPECT_FALSE(log.Wants(1));
}

TEST_F(LogFileTest, MissingLogFolderMeansNoLogAndQuietWrites) {
  SetLogLevelText(L"5");
  TempDirectory bare;  // no zovik_plugin folder in it
  CLogFile log;
  log.Open(bare.PluginPath());
  EXPECT_TRUE(log.FileName().empty());
  EXPECT_EQ(log.logLevel.load(), 0);
  EXPECT_EQ(log.Write(L"dropped", 0), -1);
  EXPECT_TRUE(fs::is_empty(bare.path()));
}

TEST_F(LogFileTest, EmptyDirectoryMeansNoLogRatherThanOneInTheWorkingDirectory) {
  SetLogLevelText(L"5");
  PluginDirectory working;  // with a log folder, so a relative path would work
  const fs::path before = fs::current_path();
  fs::current_path(working.directory.path());
  CLogFile log;
  log.Open("");
  fs::current_path(before);
  EXPECT_TRUE(log.FileName().empty());
  EXPECT_EQ(log.logLevel.load(), 0);
  EXPECT_FALSE(fs::exists(working.LogPath()));
}

TEST_F(LogFileTest, ForeignSeparatorsAreRewritten) {
  RemoveLogLevel();
  PluginDirectory plugin;
  std::string path = plugin.directory.PluginPath();
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  CLogFile log;
  log.Open(path);
  const std::wstring name = log.FileName();
  ASSERT_FALSE(name.empty());
  if (kPlatformPathSeparator == '\\') {
    EXPECT_EQ(name.find(L'/'), std::wstring::npos);
  }
  EXPECT_EQ(plugin.Lines().size(), 1u);
}

TEST_F(LogFileTest, DirectoryWithoutTrailingSeparatorStillGetsItsLog) {
  RemoveLogLevel();
  PluginDirectory plugin;
  std::string path = plugin.directory.PluginPath();
  path.pop_back();
  CLogFile log;
  log.Open(path);
  EXPECT_EQ(plugin.Lines().size(), 1u);
}

TEST_F(LogFileTest, NonAsciiDirectoryGetsItsLog) {
  RemoveLogLevel();
  PluginDirectory plugin("zovik-Fr\xC3\xA9quences-\xE2\x9C\x88");
  CLogFile log;
  log.Open(plugin.directory.PluginPath());
  ASSERT_TRUE(fs::exists(plugin.LogPath()));
  EXPECT_EQ(Messages(plugin.Lines()),
            std::vector<std::string>{"Initialize Log file with 0 level"});
}

TEST_F(LogFileTest, OverlongDirectoryGetsNoLogRatherThanACutPath) {
  RemoveLogLevel();
  PluginDirectory plugin;
  const std::string base = plugin.directory.PluginPath();
  const std::string suffix =
      std::string("zovik_plugin") + kPlatformPathSeparator + "zovik_plugin.log";
  // A directory whose log path, with its terminator, takes `total` bytes.
  auto directoryFor = [&](size_t total) {
    return base + std::string(total - 1 - base.size() - suffix.size() - 1, 'a') +
           kPlatformPathSeparator;
  };
  const std::string fits = directoryFor(512);
  const std::string tooLong = directoryFor(513);
  ASSERT_EQ(fits.size() + suffix.size() + 1, 512u);

  CLogFile log;
  log.Open(tooLong);
  EXPECT_TRUE(log.FileName().empty());
  EXPECT_EQ(log.Write(L"dropped", 0), -1);
  // Nothing appeared beside the plugin directory's own log folder.
  EXPECT_EQ(std::distance(fs::directory_iterator(plugin.directory.path()), {}), 1);

  // One byte less is still a log, where the file system allows such a path.
  std::error_code error;
  fs::create_directories(PathFromUtf8(fits + "zovik_plugin"), error);
  if (error) GTEST_SKIP() << "file system refuses a " << fits.size() << "-byte directory";
  log.Open(fits);
  EXPECT_FALSE(log.FileName().empty());
  EXPECT_TRUE(fs::exists(PathFromUtf8(fits + suffix)));
}

TEST_F(LogFileTest, ConcurrentWritersNeverInterleave) {
  RemoveLogLevel();
  PluginDirectory plugin;
  CLogFile log;
  log.Open(plugin.directory.PluginPath());
  constexpr int kLines = 2000;
  auto writer = [&log](char who) {
    for (int i = 0; i < kLines; ++i) {
      log.Write(WidenBytes(std::string("writer ") + who + " line " + std::to_string(i) + " " +
                           std::string(40, who)),
                1);
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  const std::vector<std::string> lines = plugin.Lines();
  ASSERT_EQ(lines.size(), 1u + 2 * kLines);
  int next[2] = {0, 0};
  for (size_t i = 1; i < lines.size(); ++i) {
    ASSERT_TRUE(HasLogPrefix(lines[i])) << lines[i];
    const std::string message = MessageOf(lines[i]);
    const char who = message.size() > 7 ? message[7] : '?';
    ASSERT_TRUE(who == 'a' || who == 'b') << message;
    // Each writer's lines arrive whole and in its own order.
    const int index = who - 'a';
    ASSERT_EQ(message, std::string("writer ") + who + " line " + std::to_string(next[index]++) +
                           " " + std::string(40, who));
  }
  EXPECT_EQ(next[0], kLines);
  EXPECT_EQ(next[1], kLines);
}

}  // namespace
