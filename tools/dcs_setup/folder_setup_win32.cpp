#include <windows.h>

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "tools/dcs_setup/export_line.h"
#include "tools/dcs_setup/folder_setup.h"
#include "tools/dcs_setup/install_record.h"
#include "tools/dcs_setup/win32_files.h"

namespace {

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;
constexpr std::string_view kNothingChanged = "nothing was changed in this folder";
constexpr std::string_view kNotUpdated =
    "Scripts\\ZOVIK holds what it held before, so the update did not happen: run this again";
constexpr std::string_view kNotLoaded =
    "the scripts are in Scripts\\ZOVIK, but the game will not load them: run this again";

struct ScriptsFolder {
  std::wstring scripts, exportFile, backup, zovik, record;
  explicit ScriptsFolder(const std::wstring& dcsFolder)
      : scripts(dcsFolder + L"\\Scripts"),
        exportFile(scripts + L"\\Export.lua"),
        backup(exportFile + L".zovik-backup"),
        zovik(scripts + L"\\ZOVIK"),
        record(zovik + L"\\" + Widened(kRecordName)) {}

  std::wstring InZovik(std::string_view relativePath) const {
    std::wstring path = Widened(relativePath);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path.empty() ? zovik : zovik + L"\\" + path;
  }
};

FolderResult Failed(std::string_view verb, const std::wstring& path, const std::string& why,
                    std::string_view consequence) {
  return {false,
          std::string(verb) + " " + Utf8(path) + ": " + why + "; " + std::string(consequence)};
}

// A final path as the pilot knows it, without its \\?\ prefix.
std::string Shown(std::wstring_view path) {
  if (path.starts_with(L"\\\\?\\UNC\\")) return "\\\\" + Utf8(path.substr(8));
  if (path.starts_with(L"\\\\?\\")) return Utf8(path.substr(4));
  return Utf8(path);
}

bool SameName(std::wstring_view a, std::wstring_view b) {
  return CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                              static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

std::wstring FinalPathOf(const std::wstring& path, DWORD flags) {
  const HANDLE handle = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, kShareAll, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return {};
  std::wstring final = FinalPath(handle);
  CloseHandle(handle);
  return final;
}

// Export.lua, where its bytes really live: a link shared between DCS and
// DCS.openbeta is followed, so that the link stays and its target is edited.
struct ExportLua {
  std::optional<std::string> bytes;
  std::wstring path;  // of the bytes: the link's target, or the file itself
  DWORD attributes = 0;
  bool linked = false;
};

// Refuses (in *why) a folder, a read-only file and a file another program
// holds: Windows would not let them be replaced (Wine run as root would), and
// they are refused before anything in the folder is touched.
bool ReadExportLua(const ScriptsFolder& at, ExportLua* out, std::string* why) {
  const DWORD entry = GetFileAttributesW(at.exportFile.c_str());
  if (entry == INVALID_FILE_ATTRIBUTES) {
    const DWORD error = GetLastError();
    if (IsMissing(error)) return true;
    *why = SystemMessage(error);
    return false;
  }
  if (entry & FILE_ATTRIBUTE_DIRECTORY) {
    *why = "it is a folder";
    return false;
  }
  const HANDLE file = CreateFileW(at.exportFile.c_str(), GENERIC_READ, kShareAll, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    *why = WhyNotWritable(GetLastError());
    return false;
  }
  BY_HANDLE_FILE_INFORMATION information{};
  std::string bytes;
  DWORD error = GetFileInformationByHandle(file, &information) ? 0 : GetLastError();
  if (error == 0) error = ReadAll(file, &bytes);
  out->path = FinalPath(file);
  CloseHandle(file);
  if (error != 0) {
    *why = SystemMessage(error);
    return false;
  }
  if (information.dwFileAttributes & FILE_ATTRIBUTE_READONLY) {
    *why = "it is read-only (untick Read-only in its Properties, then run this again)";
    return false;
  }
  // Where the file cannot be followed, it is taken for a link: a link is
  // never deleted.
  const std::wstring folder = FinalPathOf(at.scripts, FILE_FLAG_BACKUP_SEMANTICS);
  out->linked =
      out->path.empty() || folder.empty() || !SameName(folder + L"\\Export.lua", out->path);
  if (out->path.empty()) out->path = at.exportFile;
  out->attributes = information.dwFileAttributes;
  out->bytes = std::move(bytes);
  // Opened as its replacement will be: a program writing it, or holding it
  // without letting it be replaced, makes this fail now rather than later.
  const HANDLE probe = CreateFileW(out->path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                   FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (probe == INVALID_HANDLE_VALUE) {
    *why = WhyNotWritable(GetLastError());
    return false;
  }
  CloseHandle(probe);
  return true;
}

// Files below `root` as paths relative to it ('\' between folders). A linked
// folder is not followed.
void ListFiles(const std::wstring& root, const std::wstring& relative,
               std::vector<std::wstring>* files) {
  const std::wstring base = relative.empty() ? root : root + L"\\" + relative;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileExW((base + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) return;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L"\\" + name;
    if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
      files->push_back(path);
    } else if (!(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
      ListFiles(root, path, files);
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
}

// What Scripts\ZOVIK holds; 0 or the error of the file in *failed.
DWORD ReadZovik(const ScriptsFolder& at, std::span<const EmbeddedScript> scripts,
                FolderState* state, std::wstring* failed) {
  state->zovikFolder = IsFolder(at.zovik);
  std::vector<std::wstring> files;
  ListFiles(at.zovik, L"", &files);
  for (std::wstring& file : files) {
    std::replace(file.begin(), file.end(), L'\\', L'/');
    FolderState::File entry{Utf8(file), std::nullopt};
    if (ShippedAs(scripts, entry.path) != nullptr) {
      if (const DWORD error = ReadIfPresent(at.InZovik(entry.path), &entry.bytes)) {
        *failed = at.InZovik(entry.path);
        return error;
      }
    }
    state->zovikFiles.push_back(std::move(entry));
  }
  const DWORD error = ReadIfPresent(at.record, &state->record);
  if (error != 0) *failed = at.record;
  return error;
}

// New contents written beside the files they replace, before any is: a
// failure up to here leaves the folder as it was.
struct Staged {
  std::vector<std::pair<std::wstring, std::wstring>> files;  // temporary, destination
  std::wstring record, backup, exportLua;                    // temporaries, or empty
  std::vector<std::wstring> madeFolders;

  void Discard() const {
    for (const auto& file : files) DeleteFileW(file.first.c_str());
    for (const std::wstring* temporary : {&record, &backup, &exportLua}) {
      if (!temporary->empty()) DeleteFileW(temporary->c_str());
    }
    RemoveFolders(madeFolders);
  }
};

std::optional<FolderResult> Stage(const ScriptsFolder& at, const FolderPlan& plan,
                                  const ExportLua& exportLua, Staged* staged) {
  const auto write = [&](const std::wstring& destination, std::string_view bytes,
                         std::wstring* temporary) -> std::optional<FolderResult> {
    const size_t slash = destination.find_last_of(L'\\');
    DWORD error = MakeFolders(destination.substr(0, slash), &staged->madeFolders);
    *temporary = TemporaryBeside(destination);
    if (error == 0) error = WriteNew(*temporary, bytes);
    if (error == 0) return std::nullopt;
    temporary->clear();
    return Failed("cannot write", destination, WhyNotWritable(error), kNothingChanged);
  };
  for (const EmbeddedScript* script : plan.writeFiles) {
    const std::wstring destination = at.InZovik(script->relativePath);
    std::wstring temporary;
    const auto failed = write(
        destination, {reinterpret_cast<const char*>(script->bytes), script->size}, &temporary);
    if (failed) return failed;
    staged->files.emplace_back(temporary, destination);
  }
  if (plan.writeRecord) {
    if (auto failed = write(at.record, *plan.writeRecord, &staged->record)) return failed;
  }
  if (plan.backupExportLua) {
    if (auto failed = write(at.backup, *exportLua.bytes, &staged->backup)) return failed;
  }
  if (plan.exportLua) {
    // Beside the bytes it replaces, on their volume, which ReplaceFileW needs.
    const std::wstring& destination = exportLua.bytes ? exportLua.path : at.exportFile;
    if (auto failed = write(destination, *plan.exportLua, &staged->exportLua)) return failed;
  }
  return std::nullopt;
}

// Export.lua as it is now, compared with what was planned from. It is kept
// open in *held, letting no other program write it until the replacement is
// done; those that replace it by renaming are seen here only.
enum class Recheck { kSame, kChanged, kFailed };
Recheck RecheckExportLua(const ScriptsFolder& at, const ExportLua& read, HANDLE* held,
                         DWORD* error) {
  if (!read.bytes) {
    const bool stillMissing =
        GetFileAttributesW(at.exportFile.c_str()) == INVALID_FILE_ATTRIBUTES &&
        IsMissing(GetLastError());
    return stillMissing ? Recheck::kSame : Recheck::kChanged;
  }
  *held = CreateFileW(at.exportFile.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (*held == INVALID_HANDLE_VALUE) {
    *error = GetLastError();
    return IsMissing(*error) ? Recheck::kChanged : Recheck::kFailed;
  }
  std::string now;
  *error = ReadAll(*held, &now);
  if (*error != 0) return Recheck::kFailed;
  return now == *read.bytes ? Recheck::kSame : Recheck::kChanged;
}

// Each step of the commit: nullopt when done.
using Step = std::optional<FolderResult>;

Step CommitBackup(const ScriptsFolder& at, const Staged& staged) {
  if (staged.backup.empty()) return std::nullopt;
  if (const DWORD error = MoveOver(staged.backup, at.backup)) {
    return Failed("cannot write", at.backup, WhyNotWritable(error),
                  "the previous backup stays, " + std::string(kNothingChanged));
  }
  return std::nullopt;
}

Step CommitExportLua(const ScriptsFolder& at, const FolderPlan& plan, const ExportLua& read,
                     const Staged& staged, std::string_view consequence) {
  DWORD error = 0;
  if (plan.deleteExportLua) {
    error = DeleteFileW(at.exportFile.c_str()) ? 0 : GetLastError();
  } else if (!plan.exportLua) {
    return std::nullopt;
  } else if (read.bytes) {
    std::wstring aside = read.path + L".zovik-replaced";
    ReplacedHolds holds = ReplacedHolds::kOld;
    error = ReplaceKeepingAttributes(read.path, staged.exportLua, read.attributes, &aside, &holds);
    if (error == 0) return std::nullopt;
    const std::string why = WhyNotWritable(error);
    if (holds == ReplacedHolds::kOld) {
      return Failed("cannot write", at.exportFile, why,
                    "it still holds what it held; " + std::string(consequence));
    }
    if (holds == ReplacedHolds::kNew) {
      return Failed("cannot replace", at.exportFile, why,
                    "it holds the new lines, and what it held before is in " + Shown(aside));
    }
    return Failed("cannot replace", at.exportFile, why,
                  "what it held is now only in " + Shown(aside) + ": rename that file back to " +
                      Shown(read.path) + ", then run this again");
  } else {
    error = MoveOver(staged.exportLua, at.exportFile, false);
  }
  if (error == 0) return std::nullopt;
  return Failed("cannot write", at.exportFile, WhyNotWritable(error), consequence);
}

// The files of Scripts\ZOVIK an update replaces or removes, each moved
// aside until the whole set is in: a failure part-way puts the old set back,
// so that the game never loads old modules beside new ones.
class ZovikSwap {
 public:
  // The new set is whole: the old files go, before their folders may.
  void Commit() {
    for (const auto& [aside, destination] : asides_) DeleteFileW(aside.c_str());
    asides_.clear();
  }

  // Moves an existing file at `destination` aside; 0 or the error.
  DWORD SetAside(const std::wstring& destination) {
    // Ours alone carry these names: a read-only flag does not keep them.
    SetFileAttributesW(destination.c_str(), FILE_ATTRIBUTE_NORMAL);
    const std::wstring aside = destination + L".zovik-old";
    if (g_moveFile(destination.c_str(), aside.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      asides_.emplace_back(aside, destination);
      return 0;
    }
    const DWORD error = GetLastError();
    return IsMissing(error) ? 0 : error;
  }
  void Placed(const std::wstring& destination) { placed_.push_back(destination); }

  // False when a file could not be put back: it stays aside, never deleted.
  bool PutBack() {
    bool whole = true;
    for (const std::wstring& file : placed_) DeleteFileW(file.c_str());
    for (const auto& [aside, destination] : asides_) {
      whole = MoveFileExW(aside.c_str(), destination.c_str(),
                          MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) &&
              whole;
    }
    asides_.clear();
    return whole;
  }

 private:
  std::vector<std::pair<std::wstring, std::wstring>> asides_;  // aside, destination
  std::vector<std::wstring> placed_;
};

// Our files in, old ones out, the record last: until it is written, the
// previous record still names every file an interrupted run left behind.
Step CommitZovik(const ScriptsFolder& at, const FolderPlan& plan, const Staged& staged,
                 std::string_view consequence) {
  ZovikSwap swap;
  const auto failed = [&](std::string_view verb, const std::wstring& path, DWORD error) {
    if (swap.PutBack()) return Failed(verb, path, SystemMessage(error), consequence);
    return Failed(verb, path, SystemMessage(error),
                  "nor could Scripts\\ZOVIK be given back whole (its old files end in "
                  ".zovik-old): run this again");
  };
  for (const auto& [temporary, destination] : staged.files) {
    DWORD error = swap.SetAside(destination);
    if (error == 0) error = MoveOver(temporary, destination, false);
    if (error != 0) return failed("cannot write", destination, error);
    swap.Placed(destination);
  }
  for (const std::string& file : plan.deleteFiles) {
    if (const DWORD error = swap.SetAside(at.InZovik(file))) {
      return failed("cannot remove", at.InZovik(file), error);
    }
  }
  DWORD error = 0;
  if (!staged.record.empty()) {
    error = MoveOver(staged.record, at.record);
  } else if (plan.deleteRecord) {
    error = DeleteOurFile(at.record);
  }
  if (error != 0) return failed("cannot write", at.record, error);
  swap.Commit();
  for (const std::string& folder : plan.removeFolders) {
    RemoveDirectoryW(at.InZovik(folder).c_str());
  }
  return std::nullopt;
}

// Install puts what the line loads in place before the line; uninstall takes
// the line out before what it loads.
Step Commit(SetupAction action, const ScriptsFolder& at, const FolderPlan& plan,
            const ExportLua& read, const Staged& staged) {
  if (Step failed = CommitBackup(at, staged)) return failed;
  if (action == SetupAction::kInstall) {
    if (Step failed = CommitZovik(at, plan, staged, kNotUpdated)) return failed;
    return CommitExportLua(at, plan, read, staged, kNotLoaded);
  }
  if (Step failed = CommitExportLua(at, plan, read, staged, kNothingChanged)) return failed;
  return CommitZovik(at, plan, staged, "run this again");
}

}  // namespace

FolderResult SetUpFolder(SetupAction action, const std::wstring& dcsFolder,
                         std::span<const EmbeddedScript> scripts,
                         const std::function<void()>& beforeExportReplaced) {
  const ScriptsFolder at(dcsFolder);
  for (int attempt = 1;; ++attempt) {
    ExportLua exportLua;
    std::string why;
    if (!ReadExportLua(at, &exportLua, &why)) {
      return Failed("cannot write", at.exportFile, why, kNothingChanged);
    }
    FolderState state;
    state.exportLua = exportLua.bytes;
    state.exportLuaLinked = exportLua.linked;
    std::wstring unreadable;
    if (const DWORD error = ReadZovik(at, scripts, &state, &unreadable)) {
      return Failed("cannot read", unreadable, SystemMessage(error), kNothingChanged);
    }
    const FolderPlan plan = PlanFolder(action, state, scripts);
    const bool touchesExportLua = plan.exportLua || plan.deleteExportLua;
    if (plan.refused) return {false, plan.message};
    if (plan.writeFiles.empty() && plan.deleteFiles.empty() && !plan.writeRecord &&
        !plan.deleteRecord && !touchesExportLua && plan.removeFolders.empty()) {
      return {true, plan.message};
    }

    Staged staged;
    if (auto failed = Stage(at, plan, exportLua, &staged)) {
      staged.Discard();
      return *failed;
    }
    HANDLE held = INVALID_HANDLE_VALUE;
    Recheck recheck = Recheck::kSame;
    DWORD error = 0;
    if (touchesExportLua) {
      if (beforeExportReplaced) beforeExportReplaced();
      recheck = RecheckExportLua(at, exportLua, &held, &error);
    }
    Step failed;
    if (recheck == Recheck::kSame) {
      failed = Commit(action, at, plan, exportLua, staged);
    } else if (recheck == Recheck::kFailed) {
      failed = Failed("cannot write", at.exportFile, WhyNotWritable(error), kNothingChanged);
    }
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    if (recheck == Recheck::kSame && !failed) return {true, plan.message};
    staged.Discard();
    if (failed) return *failed;
    if (attempt == 2) {
      return {false, std::string(kExportShown) +
                         " changed while this ran, as another program was editing it: run this "
                         "again once that program is done; " +
                         std::string(kNothingChanged)};
    }
  }
}
