#include "tools/dcs_setup/folder_plan.h"

#include <algorithm>

#include "tools/dcs_setup/export_line.h"
#include "tools/dcs_setup/install_record.h"

namespace {

constexpr std::string_view kConfigName = "ZovikConfig.lua";
constexpr std::string_view kZovikShown = "Scripts\\ZOVIK";
constexpr std::string_view kNothingChanged = "; nothing was changed in this folder";

// File names compare as Windows compares them; ours are ASCII.
bool SameName(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [&](char x, char y) { return lower(x) == lower(y); });
}

bool IsConfig(std::string_view path) { return SameName(path, kConfigName); }

std::string_view PathOf(const EmbeddedScript& script) { return script.relativePath; }

std::string Count(size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what) + (n == 1 ? "" : "s");
}

std::string Joined(const std::vector<std::string>& parts, std::string_view between) {
  std::string text;
  for (const std::string& part : parts) text += (text.empty() ? "" : std::string(between)) + part;
  return text;
}

const FolderState::File* Present(const FolderState& state, std::string_view path) {
  const auto found =
      std::find_if(state.zovikFiles.begin(), state.zovikFiles.end(),
                   [&](const FolderState::File& f) { return SameName(f.path, path); });
  return found == state.zovikFiles.end() ? nullptr : &*found;
}

// The folders holding `files`, deepest first, each once.
std::vector<std::string> FoldersOf(const std::vector<std::string>& files) {
  std::vector<std::string> folders;
  for (const std::string& file : files) {
    for (size_t slash = file.rfind('/'); slash != std::string::npos && slash > 0;
         slash = file.rfind('/', slash - 1)) {
      folders.push_back(file.substr(0, slash));
    }
  }
  std::sort(folders.begin(), folders.end(), [](const std::string& a, const std::string& b) {
    return a.size() != b.size() ? a.size() > b.size() : a < b;
  });
  folders.erase(std::unique(folders.begin(), folders.end()), folders.end());
  return folders;
}

FolderPlan Refused(const std::string& why) {
  FolderPlan plan;
  plan.refused = true;
  plan.message = why + std::string(kNothingChanged);
  return plan;
}

std::string ExportLineDone(const std::optional<std::string>& before, const ExportScriptEdit& edit) {
  const std::string shown(kExportShown);
  if (!before) return "created " + shown + " with the ZOVIK line";
  const std::string beforeReturn =
      edit.returnLine > 0 ? " before its return on line " + std::to_string(edit.returnLine) : "";
  if (edit.movedBelow > 0) {
    return "moved the ZOVIK line of " + shown + " below the export callback another tool " +
           "defines on line " + std::to_string(edit.movedBelow) +
           ", which would otherwise replace ZOVIK's";
  }
  if (edit.added && edit.zovikLinesRemoved > 0) {
    return "moved the ZOVIK line of " + shown + beforeReturn + ", where it runs";
  }
  if (edit.added) return "added the ZOVIK line to " + shown + beforeReturn;
  if (edit.zovikLinesRemoved > 0) {
    return "removed " + Count(edit.zovikLinesRemoved, "repeated ZOVIK line") + " from " + shown;
  }
  return shown + " already had the ZOVIK line";
}

FolderPlan PlanInstall(const FolderState& state, std::span<const EmbeddedScript> scripts) {
  const ExportScriptEdit edit = WithOneZovikLine(state.exportLua.value_or(""));
  if (!edit.refusal.empty()) return Refused(edit.refusal);
  FolderPlan plan;
  const InstallRecord before = ParseInstallRecord(state.record.value_or(""));

  size_t ourFilesPresent = 0;
  bool keptConfig = false;
  InstallRecord after;
  for (const EmbeddedScript& script : scripts) {
    const FolderState::File* now = Present(state, PathOf(script));
    if (IsConfig(PathOf(script))) {
      // The pilot's from the moment it exists: never replaced, never recorded.
      keptConfig = now != nullptr;
      if (!keptConfig) plan.writeFiles.push_back(&script);
      continue;
    }
    after.files.emplace_back(PathOf(script));
    ourFilesPresent += now != nullptr ? 1 : 0;
    const std::string_view wanted(reinterpret_cast<const char*>(script.bytes), script.size);
    if (now == nullptr || now->bytes != wanted) plan.writeFiles.push_back(&script);
  }
  // Only what an earlier install recorded as its own and no longer ships.
  for (const std::string& old : before.files) {
    const FolderState::File* now = Present(state, old);
    if (now != nullptr && !IsConfig(old) && ShippedAs(scripts, old) == nullptr) {
      plan.deleteFiles.push_back(now->path);
    }
  }
  plan.removeFolders = FoldersOf(plan.deleteFiles);
  after.createdExportLua = before.createdExportLua || !state.exportLua;
  const std::string record = FormatInstallRecord(after);
  if (state.record != record) plan.writeRecord = record;
  const bool exportChanges = state.exportLua != edit.bytes;
  if (exportChanges) {
    plan.backupExportLua = state.exportLua.has_value();
    plan.exportLua = edit.bytes;
  }

  if (plan.writeFiles.empty() && plan.deleteFiles.empty() && !exportChanges) {
    plan.message = "already set up";
    return plan;
  }
  std::vector<std::string> done;
  if (!plan.writeFiles.empty()) {
    const std::string zovik(kZovikShown);
    done.push_back(ourFilesPresent == 0
                       ? "installed " + zovik + " (" + Count(plan.writeFiles.size(), "file") + ")"
                       : "updated " + zovik + " (" + std::to_string(plan.writeFiles.size()) +
                             " of " + Count(scripts.size(), "file") + ")");
    if (keptConfig) done.push_back("kept your ZovikConfig.lua");
  }
  if (!plan.deleteFiles.empty()) {
    done.push_back("removed " + Count(plan.deleteFiles.size(), "old file") + " from " +
                   std::string(kZovikShown));
  }
  done.push_back(ExportLineDone(state.exportLua, edit));
  plan.message = Joined(done, ", ");
  return plan;
}

FolderPlan PlanUninstall(const FolderState& state, std::span<const EmbeddedScript> scripts) {
  const ExportScriptEdit edit = WithoutZovikLines(state.exportLua.value_or(""));
  if (state.exportLua && !edit.refusal.empty()) return Refused(edit.refusal);
  FolderPlan plan;
  const InstallRecord record = ParseInstallRecord(state.record.value_or(""));

  // Ours: what we ship (an install would replace it under that name anyway)
  // and what an install recorded; never the pilot's ZovikConfig.lua nor a
  // file of their own beside it.
  bool keptConfig = false;
  size_t keptOthers = 0;
  for (const FolderState::File& file : state.zovikFiles) {
    const bool recorded = std::any_of(record.files.begin(), record.files.end(),
                                      [&](const std::string& r) { return SameName(r, file.path); });
    if (IsConfig(file.path)) {
      keptConfig = true;
    } else if (SameName(file.path, kRecordName)) {
      plan.deleteRecord = true;
    } else if (recorded || ShippedAs(scripts, file.path) != nullptr) {
      plan.deleteFiles.push_back(file.path);
    } else {
      ++keptOthers;
    }
  }
  plan.removeFolders = FoldersOf(plan.deleteFiles);
  if (state.zovikFolder) plan.removeFolders.emplace_back();
  const bool zovikFolderGoes = state.zovikFolder && !keptConfig && keptOthers == 0;

  // A link stays: it was not ours to make.
  if (state.exportLua && record.createdExportLua && edit.bytes.empty() && !state.exportLuaLinked) {
    plan.deleteExportLua = true;
  } else if (state.exportLua && edit.bytes != *state.exportLua) {
    plan.backupExportLua = true;
    plan.exportLua = edit.bytes;
  }

  std::vector<std::string> done;
  if (!plan.deleteFiles.empty() || plan.deleteRecord || zovikFolderGoes) {
    const std::string zovik(kZovikShown);
    std::vector<std::string> kept;
    if (keptConfig) kept.push_back("your ZovikConfig.lua");
    if (keptOthers > 0) kept.push_back(Count(keptOthers, "other file"));
    done.push_back(kept.empty()
                       ? "removed " + zovik + " (" + Count(plan.deleteFiles.size(), "file") + ")"
                       : "removed " + Count(plan.deleteFiles.size(), "file") + " from " + zovik +
                             ", kept " + Joined(kept, " and "));
  }
  const std::string shown(kExportShown);
  if (plan.deleteExportLua) {
    done.push_back("removed " + shown + ", which the setup had made");
  } else if (plan.exportLua) {
    done.push_back("removed " +
                   (edit.zovikLinesRemoved == 1 ? std::string("the ZOVIK line")
                                                : Count(edit.zovikLinesRemoved, "ZOVIK line")) +
                   " from " + shown);
  }
  if (done.empty()) plan.removeFolders.clear();
  plan.message = done.empty() ? "nothing of ZOVIK here" : Joined(done, ", ");
  return plan;
}

}  // namespace

const EmbeddedScript* ShippedAs(std::span<const EmbeddedScript> scripts, std::string_view path) {
  const auto found = std::find_if(scripts.begin(), scripts.end(), [&](const EmbeddedScript& s) {
    return SameName(PathOf(s), path);
  });
  return found == scripts.end() ? nullptr : &*found;
}

FolderPlan PlanFolder(SetupAction action, const FolderState& state,
                      std::span<const EmbeddedScript> scripts) {
  return action == SetupAction::kInstall ? PlanInstall(state, scripts)
                                         : PlanUninstall(state, scripts);
}
