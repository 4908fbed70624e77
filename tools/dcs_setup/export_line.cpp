#include "tools/dcs_setup/export_line.h"

#include <vector>

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

struct Line {
  std::string_view text;  // without its end
  std::string_view end;   // "\r\n", "\n", "\r" or empty for a last line without one
};

// Lines as the game's Lua reads them: CR LF, LF and a lone CR each end one.
std::vector<Line> SplitLines(std::string_view bytes) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t stop = bytes.find_first_of("\r\n", start);
    if (stop == std::string_view::npos) {
      lines.push_back({bytes.substr(start), {}});
      break;
    }
    const size_t endLength = bytes.compare(stop, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({bytes.substr(start, stop - start), bytes.substr(stop, endLength)});
    start = stop + endLength;
  }
  return lines;
}

// Lower case, and every run of slashes or backslashes as one '/', so that
// [[Scripts\ZOVIK\...]], "Scripts\\ZOVIK\\..." and 'scripts/zovik/...' read alike.
std::string Normalized(std::string_view line) {
  std::string out;
  out.reserve(line.size());
  for (const char c : line) {
    const bool slash = c == '\\' || c == '/';
    if (slash && !out.empty() && out.back() == '/') continue;
    out += slash ? '/' : (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
  }
  return out;
}

// The UTF-8 byte order mark at the start, if any: it does not belong to the
// first line.
std::string_view Bom(std::string_view bytes) {
  return bytes.substr(0, bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0);
}

// Copies the file, keeping at most `keep` ZOVIK lines (the first ones).
ExportScriptEdit Filtered(std::string_view current, int keep) {
  const std::string_view bom = Bom(current);
  ExportScriptEdit edit;
  edit.bytes.reserve(current.size() + kZovikExportLine.size() + 4);
  edit.bytes += bom;
  for (const Line& line : SplitLines(current.substr(bom.size()))) {
    if (IsZovikExportLine(line.text) && ++edit.zovikLinesFound > keep) continue;
    edit.bytes += line.text;
    edit.bytes += line.end;
  }
  return edit;
}

}  // namespace

bool IsZovikExportLine(std::string_view line) {
  const std::string text = Normalized(line);
  const size_t dofile = text.find("dofile");
  return dofile != std::string::npos && text.find("dofile", dofile + 1) == std::string::npos &&
         text.rfind("--", dofile) == std::string::npos &&
         text.find("scripts/zovik/zovikexport.lua", dofile) != std::string::npos;
}

ExportScriptEdit WithOneZovikLine(std::string_view current) {
  ExportScriptEdit edit = Filtered(current, 1);
  if (edit.zovikLinesFound > 0) return edit;
  const std::string_view bom = Bom(current);
  std::string_view newline = "\r\n";
  for (const Line& line : SplitLines(current.substr(bom.size()))) {
    if (!line.end.empty()) {
      newline = line.end;
      break;
    }
  }
  const bool ended =
      edit.bytes.size() == bom.size() || edit.bytes.back() == '\n' || edit.bytes.back() == '\r';
  if (!ended) edit.bytes += newline;
  edit.bytes += kZovikExportLine;
  edit.bytes += newline;
  return edit;
}

ExportScriptEdit WithoutZovikLines(std::string_view current) { return Filtered(current, 0); }
