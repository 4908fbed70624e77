#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/dcs_setup/export_line.h"
#include "tools/dcs_setup/folder_plan.h"
#include "tools/dcs_setup/install_record.h"

namespace {

const unsigned char kConfigBytes[] = "return {}";
const unsigned char kExportBytes[] = "-- export";
const unsigned char kRadioBytes[] = "-- radio";
const EmbeddedScript kScripts[] = {
    {"ZovikConfig.lua", kConfigBytes, sizeof kConfigBytes - 1},
    {"ZovikExport.lua", kExportBytes, sizeof kExportBytes - 1},
    {"lib/ZovikRadio.lua", kRadioBytes, sizeof kRadioBytes - 1},
};
const std::string kLine = std::string(kZovikExportLine) + "\r\n";
const std::string kOther = "dofile(lfs.writedir()..[[Scripts\\Other\\Other.lua]])\r\n";

using File = FolderState::File;
const File kInstalled[] = {{"ZovikConfig.lua", "return { port = 1 }"},
                           {"ZovikExport.lua", "-- export"},
                           {"lib/ZovikRadio.lua", "-- radio"}};

std::string Record(bool created, std::vector<std::string> files) {
  return FormatInstallRecord({std::move(files), created});
}
const std::string kRecord = Record(false, {"ZovikExport.lua", "lib/ZovikRadio.lua"});

// The plan's steps in one line: "write A B; delete C; ...".
std::string Steps(const FolderPlan& plan) {
  std::string steps;
  const auto add = [&](bool present, std::string step, const auto& names) {
    if (!present) return;
    for (const auto& name : names) {
      step += ' ';
      step += std::string(name).empty() ? std::string(".") : std::string(name);
    }
    steps += steps.empty() ? "" : "; ";
    steps += step;
  };
  std::vector<std::string> written;
  for (const EmbeddedScript* script : plan.writeFiles) written.emplace_back(script->relativePath);
  const InstallRecord record = ParseInstallRecord(plan.writeRecord.value_or(""));
  const std::vector<std::string> none;
  add(!written.empty(), "write", written);
  add(!plan.deleteFiles.empty(), "delete", plan.deleteFiles);
  add(!plan.removeFolders.empty(), "rmdir", plan.removeFolders);
  add(plan.writeRecord.has_value(), record.createdExportLua ? "record created" : "record",
      record.files);
  add(plan.deleteRecord, "delete record", none);
  add(plan.backupExportLua, "backup", none);
  add(plan.exportLua.has_value(), plan.exportLua == kLine ? "export ours" : "export", none);
  add(plan.deleteExportLua, "delete export", none);
  return steps;
}

using Maybe = std::optional<std::string>;

FolderState State(Maybe exportLua, Maybe record = {}, std::vector<File> files = {},
                  bool linked = false) {
  FolderState state;
  state.exportLua = std::move(exportLua);
  state.exportLuaLinked = linked;
  state.record = std::move(record);
  state.zovikFolder = !files.empty();
  state.zovikFiles = std::move(files);
  return state;
}

TEST(DcsFolderPlan, DecidesEachFolder) {
  const struct {
    const char* what;
    SetupAction action;
    FolderState state;
    std::string steps, message;
  } cases[] = {
      {"fresh install", SetupAction::kInstall, State({}),
       "write ZovikConfig.lua ZovikExport.lua lib/ZovikRadio.lua; "
       "record created ZovikExport.lua lib/ZovikRadio.lua; export ours",
       "installed Scripts\\ZOVIK (3 files), created Scripts\\Export.lua with the ZOVIK line"},
      {"update over files nobody recorded: the pilot's stay", SetupAction::kInstall,
       State(kOther + kLine, {},
             {kInstalled[0],
              {"ZovikExport.lua", "-- old"},
              {"ZovikConfig - Copy.lua", {}},
              {"Old.lua", {}}}),
       "write ZovikExport.lua lib/ZovikRadio.lua; record ZovikExport.lua lib/ZovikRadio.lua",
       "updated Scripts\\ZOVIK (2 of 3 files), kept your ZovikConfig.lua, Scripts\\Export.lua "
       "already had the ZOVIK line"},
      {"update removes what the record names and no longer ships, inside Scripts\\ZOVIK only",
       SetupAction::kInstall,
       State(kLine,
             Record(true,
                    {"ZovikExport.lua", "ZovikConfig.lua", "old/deep/Gone.lua", "../Export.lua"}) +
                 "file C:/Windows/x.lua\n",
             {kInstalled[0], kInstalled[1], kInstalled[2], {"old/deep/gone.lua", {}}}),
       "delete old/deep/gone.lua; rmdir old/deep old; "
       "record created ZovikExport.lua lib/ZovikRadio.lua",
       "removed 1 old file from Scripts\\ZOVIK, Scripts\\Export.lua already had the ZOVIK line"},
      {"our line above a tool's plain LuaExportStart", SetupAction::kInstall,
       State(kLine + kOther + "function LuaExportStart() end\r\n", kRecord,
             {kInstalled[0], kInstalled[1], kInstalled[2]}),
       "backup; export",
       "moved the ZOVIK line of Scripts\\Export.lua below the export callback another tool "
       "defines on line 2, which would otherwise replace ZOVIK's"},
      {"already set up, record included", SetupAction::kInstall,
       State(kLine, kRecord, {kInstalled[0], kInstalled[1], kInstalled[2]}), "", "already set up"},
      {"uninstall after Export.lua was created: it goes again", SetupAction::kUninstall,
       State(kLine, Record(true, {"ZovikExport.lua", "Old.lua"}),
             {kInstalled[0],
              kInstalled[1],
              kInstalled[2],
              {"Old.lua", {}},
              {"ZovikConfig - Copy.lua", {}},
              {"zovikinstalledfiles.txt", {}}}),
       "delete ZovikExport.lua lib/ZovikRadio.lua Old.lua; rmdir lib .; delete record; "
       "delete export",
       "removed 3 files from Scripts\\ZOVIK, kept your ZovikConfig.lua and 1 other file, "
       "removed Scripts\\Export.lua, which the setup had made"},
      {"uninstall through a link: the link stays", SetupAction::kUninstall,
       State(kLine, Record(true, {}), {}, true), "backup; export",
       "removed the ZOVIK line from Scripts\\Export.lua"},
  };
  for (const auto& c : cases) {
    const FolderPlan plan = PlanFolder(c.action, c.state, kScripts);
    EXPECT_FALSE(plan.refused) << c.what;
    EXPECT_EQ(Steps(plan), c.steps) << c.what;
    EXPECT_EQ(plan.message, c.message) << c.what;
  }
}

}  // namespace
