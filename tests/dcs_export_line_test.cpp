#include <gtest/gtest.h>

#include <string>

#include "tools/dcs_setup/export_line.h"

namespace {

const std::string kLine(kZovikExportLine);
const std::string kBom = "\xEF\xBB\xBF";
const std::string kOther = "dofile(lfs.writedir()..[[Scripts\\Other\\Other.lua]])";
const std::string kSlashes = "dofile(lfs.writedir()..'scripts/zovik/ZovikExport.lua')";

TEST(DcsExportLine, TellsOurLineFromOthers) {
  const struct {
    std::string line;
    bool ours;
  } cases[] = {
      {kLine, true},
      {kSlashes, true},
      {"  dofile(lfs.writedir() .. \"Scripts\\\\ZOVIK\\\\ZovikExport.lua\")", true},
      {"-- " + kLine, false},
      {"--[[ " + kSlashes + " ]]", false},
      {kOther, false},
      {"dofile(lfs.writedir()..[[Scripts\\ZOVIK2\\ZovikExport.lua]])", false},
      {"dofile(lfs.writedir()..[[Scripts\\ZOVIK\\ZovikExportOld.lua]])", false},
      {kOther + "; " + kSlashes, false},
      {"local ZovikExport = [[Scripts\\ZOVIK\\ZovikExport.lua]]", false},
      // Our path beside another tool's dofile, outside its argument.
      {"dofile(lfs.writedir()..[[Scripts\\DCS-BIOS\\BIOS.lua]]) -- before "
       "Scripts\\ZOVIK\\ZovikExport.lua",
       false},
      {kOther + " --[[ Scripts\\ZOVIK\\ZovikExport.lua ]]", false},
      {kOther + " local s = 'Scripts/ZOVIK/ZovikExport.lua'", false},
      {"print('dofile') local s = [[Scripts\\ZOVIK\\ZovikExport.lua]]", false},
      {"dofile 'Scripts/ZOVIK/ZovikExport.lua'", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsZovikExportLine(c.line), c.ours) << c.line;
}

// Every original comes back byte for byte from an install then an uninstall.
TEST(DcsExportLine, UninstallGivesBackWhatInstallFound) {
  const struct {
    const char* what;
    std::string before, installed;
    size_t returnLine;
  } cases[] = {
      {"missing or empty", "", kLine + "\r\n", 0},
      {"a byte order mark alone", kBom, kBom + kLine + "\r\n", 0},
      {"CR LF, BOM, last line unended", kBom + kOther + "\r\nx = 1",
       kBom + kOther + "\r\nx = 1\r\n" + kLine, 0},
      {"LF", kOther + "\n", kOther + "\n" + kLine + "\n", 0},
      {"lone CR", "a\rb", "a\rb\r" + kLine, 0},
      {"ours commented out", "-- " + kLine + "\n", "-- " + kLine + "\n" + kLine + "\n", 0},
      {"ours in a block comment", "--[==[\n" + kLine + "\n]] ]==]\n",
       "--[==[\n" + kLine + "\n]] ]==]\n" + kLine + "\n", 0},
      {"ours in a long string", "x = [[\n" + kLine + "]]", "x = [[\n" + kLine + "]]\n" + kLine, 0},
      {"a final return", "local M = {}\r\nreturn M\r\n",
       "local M = {}\r\n" + kLine + "\r\nreturn M\r\n", 3},
      {"returns inside blocks only",
       "if x then return end\nfunction f() local ending\n  return 1\nend\n",
       "if x then return end\nfunction f() local ending\n  return 1\nend\n" + kLine + "\n", 0},
      {"'return' in strings and comments", "s = 'return' -- return\nt = \"a\\\n  return\"\n",
       "s = 'return' -- return\nt = \"a\\\n  return\"\n" + kLine + "\n", 0},
  };
  for (const auto& c : cases) {
    const ExportScriptEdit installed = WithOneZovikLine(c.before);
    EXPECT_EQ(installed.bytes, c.installed) << c.what;
    EXPECT_EQ(installed.returnLine, c.returnLine) << c.what;
    EXPECT_EQ(WithOneZovikLine(installed.bytes).bytes, installed.bytes) << c.what;
    const ExportScriptEdit uninstalled = WithoutZovikLines(installed.bytes);
    EXPECT_EQ(uninstalled.bytes, c.before) << c.what;
    EXPECT_EQ(uninstalled.zovikLinesRemoved, 1) << c.what;
  }
}

TEST(DcsExportLine, UninstallKeepsLinesThatOnlyMentionOurPath) {
  const std::string bios =
      "dofile(lfs.writedir()..[[Scripts\\DCS-BIOS\\BIOS.lua]]) -- before "
      "Scripts\\ZOVIK\\ZovikExport.lua\r\n";
  const ExportScriptEdit edit = WithoutZovikLines(bios + kLine + "\r\n");
  EXPECT_EQ(edit.bytes, bios);
  EXPECT_EQ(edit.zovikLinesRemoved, 1);
}

TEST(DcsExportLine, KeepsOneZovikLineWhereItRuns) {
  const struct {
    const char* what;
    std::string before, installed;
    int found, removed;
  } cases[] = {
      {"ours already, unended", kOther + "\n" + kLine, kOther + "\n" + kLine, 1, 0},
      {"ours three times, the last one unended",
       kLine + "\r\n" + kOther + "\r\n" + kSlashes + "\n" + kLine, kLine + "\r\n" + kOther, 3, 2},
      {"ours after the final return, which stops the file loading", "return {}\n" + kLine + "\n",
       kLine + "\nreturn {}\n", 0, 1},
      {"ours before the final return", kLine + "\nreturn {}\n" + kLine + "\n",
       kLine + "\nreturn {}\n", 1, 1},
  };
  for (const auto& c : cases) {
    const ExportScriptEdit edit = WithOneZovikLine(c.before);
    EXPECT_EQ(edit.bytes, c.installed) << c.what;
    EXPECT_EQ(edit.zovikLinesFound, c.found) << c.what;
    EXPECT_EQ(edit.zovikLinesRemoved, c.removed) << c.what;
  }
}

// A plain definition below ours replaces our callbacks; one that keeps the
// callback before it (by reading its name first) does not.
TEST(DcsExportLine, GoesBelowCallbacksDefinedPlainlyAfterIt) {
  const std::string start = "function LuaExportStart()\n  x = 1\nend\n";
  const std::string chained =
      "local before = LuaExportStart\nfunction LuaExportStart()\n  before()\nend\n";
  const std::string frame = "LuaExportAfterNextFrame = function() end";
  const struct {
    const char* what;
    std::string before, installed;
    size_t movedBelow;
  } cases[] = {
      {"one definition below", kLine + "\n" + start, start + kLine + "\n", 1},
      {"the last of two, unended", kLine + "\n" + kOther + "\n" + start + frame,
       kOther + "\n" + start + frame + "\n" + kLine, 5},
      {"a repeated line dropped on the way", kLine + "\n" + kSlashes + "\n" + start,
       start + kLine + "\n", 1},
      {"chained", kLine + "\n" + chained, kLine + "\n" + chained, 0},
      {"above ours", start + kLine + "\n", start + kLine + "\n", 0},
      {"inside another function", kLine + "\nfunction f()\n  " + frame + "\nend\n",
       kLine + "\nfunction f()\n  " + frame + "\nend\n", 0},
      {"in a comment", kLine + "\n-- " + frame + "\n", kLine + "\n-- " + frame + "\n", 0},
      {"before a final return", kLine + "\n" + start + "return {}\n",
       start + kLine + "\nreturn {}\n", 1},
  };
  // Where a line put below could not run as a statement of its own, or our
  // line is more than the one this program writes, nothing moves.
  for (const std::string& stays : {
           kLine + "\nlocal hooks = {\n  LuaExportStart = function() x() end,\n  y = 1,\n}\n",
           kLine + "\nhooks = f(\nfunction LuaExportStart() end)\n",
           kLine + "\nfunction LuaExportStart() end return M\n",
           kLine + "\nfunction LuaExportStart() end s = [[\ntext\n]]\n",
           kLine + "\nfunction LuaExportStart() end --[[\nnote\n]]\n",
           "Tool.enabled = true; " + kLine + "\n" + start,
           "if useZovik then\n  " + kLine + "\nend\n" + start,
       }) {
    const ExportScriptEdit edit = WithOneZovikLine(stays);
    EXPECT_EQ(edit.bytes, stays);
    EXPECT_EQ(edit.movedBelow, 0u) << stays;
  }
  for (const auto& c : cases) {
    const ExportScriptEdit edit = WithOneZovikLine(c.before);
    EXPECT_EQ(edit.bytes, c.installed) << c.what;
    EXPECT_EQ(edit.movedBelow, c.movedBelow) << c.what;
    const ExportScriptEdit again = WithOneZovikLine(edit.bytes);
    EXPECT_EQ(again.bytes, edit.bytes) << c.what;
    EXPECT_EQ(again.movedBelow, 0u) << c.what;
  }
}

TEST(DcsExportLine, RefusesFilesItCannotEditSafely) {
  const struct {
    std::string before, why;
  } cases[] = {
      {"\xFF\xFE-\0-\0", "UTF-16"},
      {"\xFE\xFF\0-\0-", "UTF-16"},
      {std::string("-\0-\0 \0", 6), "UTF-16"},
      {"x = 1\nlocal t = {} return t\n",
       "line 2 of Scripts\\Export.lua ends the file with a return"},
      {"x = 1\n--[[ never closed\n", "line 2 of Scripts\\Export.lua opens a comment or string"},
      {"--]] return\nx = [=[ ]]\n", "line 2 of Scripts\\Export.lua opens"},
  };
  for (const auto& c : cases) {
    const ExportScriptEdit edit = WithOneZovikLine(c.before);
    EXPECT_NE(edit.refusal.find(c.why), std::string::npos) << edit.refusal;
    EXPECT_TRUE(edit.bytes.empty()) << c.why;
  }
  EXPECT_NE(WithoutZovikLines("\xFF\xFE-\0").refusal, "");
}

}  // namespace
