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
  };
  for (const auto& c : cases) EXPECT_EQ(IsZovikExportLine(c.line), c.ours) << c.line;
}

// Each file as found, after install, and after uninstall of that.
TEST(DcsExportLine, AddsOneLineAndRemovesOnlyOurs) {
  const struct {
    const char* what;
    std::string before, installed, uninstalled;
    int found;
  } cases[] = {
      {"missing or empty", "", kLine + "\r\n", "", 0},
      {"a byte order mark alone", kBom, kBom + kLine + "\r\n", kBom, 0},
      {"CR LF, BOM, last line unended", kBom + kOther + "\r\nx = 1",
       kBom + kOther + "\r\nx = 1\r\n" + kLine + "\r\n", kBom + kOther + "\r\nx = 1\r\n", 0},
      {"LF", kOther + "\n", kOther + "\n" + kLine + "\n", kOther + "\n", 0},
      {"lone CR", "a\rb", "a\rb\r" + kLine + "\r", "a\rb\r", 0},
      {"ours already, unended", kOther + "\n" + kLine, kOther + "\n" + kLine, kOther + "\n", 1},
      {"ours three times", kLine + "\r\n" + kOther + "\r\n" + kSlashes + "\n" + kLine,
       kLine + "\r\n" + kOther + "\r\n", kOther + "\r\n", 3},
      {"ours commented out", "-- " + kLine + "\n", "-- " + kLine + "\n" + kLine + "\n",
       "-- " + kLine + "\n", 0},
  };
  for (const auto& c : cases) {
    const ExportScriptEdit installed = WithOneZovikLine(c.before);
    EXPECT_EQ(installed.bytes, c.installed) << c.what;
    EXPECT_EQ(installed.zovikLinesFound, c.found) << c.what;
    EXPECT_EQ(WithOneZovikLine(installed.bytes).bytes, installed.bytes) << c.what;
    const ExportScriptEdit uninstalled = WithoutZovikLines(installed.bytes);
    EXPECT_EQ(uninstalled.bytes, c.uninstalled) << c.what;
    EXPECT_EQ(uninstalled.zovikLinesFound, 1) << c.what;
  }
}

}  // namespace
