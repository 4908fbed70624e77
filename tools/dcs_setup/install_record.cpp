#include "tools/dcs_setup/install_record.h"

#include <algorithm>

namespace {

constexpr std::string_view kFileKey = "file ";
constexpr std::string_view kCreatedKey = "created Scripts\\Export.lua";

}  // namespace

bool IsShippableName(std::string_view path) {
  if (path.empty() || path.front() == '/' || path.back() == '/') return false;
  for (const char c : path) {
    const bool allowed = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                         (c >= '0' && c <= '9') || c == '_' || c == '.' || c == '-' || c == '/';
    if (!allowed) return false;
  }
  size_t start = 0;
  while (start <= path.size()) {
    const size_t slash = std::min(path.find('/', start), path.size());
    const std::string_view part = path.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = slash + 1;
  }
  return true;
}

InstallRecord ParseInstallRecord(std::string_view bytes) {
  InstallRecord record;
  while (!bytes.empty()) {
    const size_t stop = std::min(bytes.find('\n'), bytes.size());
    std::string_view line = bytes.substr(0, stop);
    bytes.remove_prefix(std::min(stop + 1, bytes.size()));
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line == kCreatedKey) {
      record.createdExportLua = true;
    } else if (line.starts_with(kFileKey) && IsShippableName(line.substr(kFileKey.size()))) {
      record.files.emplace_back(line.substr(kFileKey.size()));
    }
  }
  return record;
}

std::string FormatInstallRecord(const InstallRecord& record) {
  std::string text =
      "# Written by zovik_dcs_setup: what it installed in this DCS folder, which\r\n"
      "# \"zovik_dcs_setup uninstall\" removes. Your own files are never listed.\r\n";
  if (record.createdExportLua) text += std::string(kCreatedKey) + "\r\n";
  for (const std::string& file : record.files) text += std::string(kFileKey) + file + "\r\n";
  return text;
}
