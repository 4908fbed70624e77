// What the setup put into one DCS folder, kept in Scripts\ZOVIK so that a
// later update or uninstall removes exactly that and nothing of the pilot's.
// A text file: the pilot may read it; a line we do not know is skipped.
#pragma once

#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kRecordName = "ZovikInstalledFiles.txt";

struct InstallRecord {
  // Below Scripts\ZOVIK, '/' between folders, as in EmbeddedScript.
  std::vector<std::string> files;
  // Export.lua did not exist before the setup made it: uninstall removes it
  // again when nothing but ZOVIK lines is left in it.
  bool createdExportLua = false;
};

// Names that would leave Scripts\ZOVIK ("..", a drive, a rooted path) or that
// the setup never ships are skipped: the file is the pilot's to edit.
InstallRecord ParseInstallRecord(std::string_view bytes);
std::string FormatInstallRecord(const InstallRecord& record);

// A name the setup may ship and record: a relative path below Scripts\ZOVIK.
bool IsShippableName(std::string_view relativePath);
