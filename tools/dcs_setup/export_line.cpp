#include "tools/dcs_setup/export_line.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "tools/dcs_setup/lua_lines.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Text in UTF-16 has a NUL in every other byte while it is ASCII; a Lua file
// has none at all.
constexpr size_t kUtf16Sniff = 512;

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

// How many more brackets ( { [ the tokens open than they close.
int BracketBalance(const std::vector<LuaToken>& tokens) {
  int balance = 0;
  for (const LuaToken& token : tokens) {
    if (token.kind != LuaToken::Kind::kSymbol || token.text.size() != 1) continue;
    const char c = token.text[0];
    if (c == '(' || c == '{' || c == '[') ++balance;
    if (c == ')' || c == '}' || c == ']') --balance;
  }
  return balance;
}

// The file split into lines, with which of them are ZOVIK lines in code. The
// UTF-8 byte order mark belongs to no line.
struct ExportScript {
  std::string_view bom;
  std::vector<Line> lines;
  LuaLinesShape shape;
  std::vector<bool> ours;

  explicit ExportScript(std::string_view bytes)
      : bom(bytes.substr(0, bytes.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0)),
        lines(SplitLines(bytes.substr(bom.size()))) {
    std::vector<std::string_view> texts;
    for (const Line& line : lines) texts.push_back(line.text);
    shape = ScanLuaLines(texts);
    for (size_t i = 0; i < lines.size(); ++i) {
      const size_t from = shape.codeFrom[i];
      ours.push_back(from != kNoCode && IsZovikExportLine(lines[i].text.substr(from)));
    }
  }

  // The first and last lines of the last top-level definition of an export callback
  // after line `from` that drops the one before it: `function LuaExportStart()`
  // or `LuaExportStart = function`, the name not read since `from` (a tool
  // keeping the previous callback to call it reads the name first). Nothing
  // when a line put after such a definition could land anywhere but between
  // two statements (the definition inside a table, or code after its `end`).
  std::optional<std::pair<size_t, size_t>> LastPlainCallback(size_t from) const {
    static constexpr std::string_view kCallbacks[] = {
        "LuaExportStart", "LuaExportStop", "LuaExportBeforeNextFrame",
        "LuaExportAfterNextFrame", "LuaExportActivityNextEvent"};
    std::vector<std::string_view> read;
    std::optional<std::pair<size_t, size_t>> last;
    int brackets = 0;  // ( { [ open where line i starts
    for (size_t i = from + 1; i < lines.size() && Runs(i); ++i) {
      const size_t code = shape.codeFrom[i];
      if (code == kNoCode) continue;
      const std::vector<LuaToken> tokens = LuaTokensOf(lines[i].text.substr(code));
      const bool topLevel = shape.depthAfter[i - 1] == 0 && code == 0 && brackets == 0;
      brackets += BracketBalance(tokens);
      std::string_view defined;
      const auto is = [&](size_t at, std::string_view text) {
        return at < tokens.size() && tokens[at].text == text &&
               tokens[at].kind != LuaToken::Kind::kString;
      };
      for (const std::string_view name : kCallbacks) {
        if (topLevel && ((is(0, "function") && is(1, name) && is(2, "(")) ||
                         (is(0, name) && is(1, "=") && is(2, "function")))) {
          defined = name;
        }
      }
      for (size_t t = 0; t < tokens.size(); ++t) {
        const bool header = !defined.empty() && t < 2;
        if (tokens[t].kind == LuaToken::Kind::kWord && !header) read.push_back(tokens[t].text);
      }
      if (defined.empty() || std::find(read.begin(), read.end(), defined) != read.end()) continue;
      size_t end = i;
      while (end < lines.size() && shape.depthAfter[end] != 0) ++end;
      if (end == lines.size() || !EndsAStatement(end)) return std::nullopt;
      last = {i, end};
      i = end;
      brackets = 0;
    }
    return last;
  }

  // Whether line `line` ends with a statement's `end` (or `end;`), the next
  // line starting in code: a line put between them runs as a statement.
  bool EndsAStatement(size_t line) const {
    const size_t code = shape.codeFrom[line];
    if (code == kNoCode) return false;
    std::vector<LuaToken> tokens = LuaTokensOf(lines[line].text.substr(code));
    if (!tokens.empty() && tokens.back().kind == LuaToken::Kind::kSymbol &&
        tokens.back().text == ";") {
      tokens.pop_back();
    }
    const bool endsWithEnd = !tokens.empty() && tokens.back().kind == LuaToken::Kind::kWord &&
                             tokens.back().text == "end";
    return endsWithEnd && (line + 1 == lines.size() || shape.codeFrom[line + 1] == 0);
  }

  // Whether line `line` is the line this program writes, at the top level.
  bool IsOurOwnLine(size_t line) const {
    std::string_view text = lines[line].text;
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
    return text == kZovikExportLine && shape.codeFrom[line] == 0 &&
           (line == 0 || shape.depthAfter[line - 1] == 0);
  }

  // Lines after the final return never run.
  bool Runs(size_t line) const { return !shape.returnLine || line <= *shape.returnLine; }

  std::string_view NewlineStyle() const {
    for (const Line& line : lines) {
      if (!line.end.empty()) return line.end;
    }
    return "\r\n";
  }

  // The file without the lines marked in `drop`, and with ours put before
  // line `before` when given; sets edit->returnLine to that line's new number.
  void Rebuild(const std::vector<bool>& drop, std::optional<size_t> before,
               ExportScriptEdit* edit) const {
    std::string& out = edit->bytes;
    out.reserve(bom.size() + lines.size() * 2 + kZovikExportLine.size());
    out += bom;
    size_t written = 0;
    size_t lastEnd = 0;
    for (size_t i = 0; i < lines.size(); ++i) {
      if (before == i) {
        out += kZovikExportLine;
        out += NewlineStyle();
        edit->returnLine = written + 2;
        ++written;
      }
      if (drop[i]) continue;
      out += lines[i].text;
      out += lines[i].end;
      lastEnd = lines[i].end.size();
      ++written;
    }
    // A last line without an end was added after the line end it needs.
    const bool droppedUnendedLast = !lines.empty() && drop.back() && lines.back().end.empty();
    if (before == lines.size()) {
      // After the last line, which is not ours: ended as it was ended.
      const bool unended = lines.back().end.empty();
      if (unended) out += NewlineStyle();
      out += kZovikExportLine;
      if (!unended) out += NewlineStyle();
      return;
    }
    if (droppedUnendedLast && written > 0) out.resize(out.size() - lastEnd);
  }
};

ExportScriptEdit Refused(std::string text) {
  ExportScriptEdit edit;
  edit.refusal = std::move(text);
  return edit;
}

ExportScriptEdit Utf16Refusal() {
  return Refused(std::string(kExportShown) +
                 " is saved as UTF-16, which the game cannot read: save it as UTF-8 in your "
                 "text editor, then run this again");
}

std::string LineOf(size_t index) {
  return "line " + std::to_string(index + 1) + " of " + std::string(kExportShown);
}

}  // namespace

bool IsZovikExportLine(std::string_view line) {
  // Only the strings dofile is given name what it loads: our path in a
  // comment, or in a string elsewhere on the line, is another tool's text.
  const std::vector<LuaToken> tokens = LuaTokensOf(line);
  size_t dofiles = 0;
  std::string argument;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (tokens[i].kind != LuaToken::Kind::kWord || tokens[i].text != "dofile") continue;
    if (++dofiles > 1) return false;
    size_t at = i + 1;
    if (at < tokens.size() && tokens[at].kind == LuaToken::Kind::kString) {
      argument = tokens[at].text;
      continue;
    }
    if (at == tokens.size() || tokens[at].text != "(") return false;
    for (int depth = 0; at < tokens.size(); ++at) {
      if (tokens[at].kind == LuaToken::Kind::kString) argument += tokens[at].text;
      if (tokens[at].kind != LuaToken::Kind::kSymbol) continue;
      depth += tokens[at].text == "(" ? 1 : tokens[at].text == ")" ? -1 : 0;
      if (depth == 0) break;
    }
  }
  return dofiles == 1 && Normalized(argument).find("scripts/zovik/zovikexport.lua") !=
                             std::string::npos;
}

bool IsUtf16(std::string_view bytes) {
  return bytes.starts_with("\xFF\xFE") || bytes.starts_with("\xFE\xFF") ||
         bytes.substr(0, kUtf16Sniff).find('\0') != std::string_view::npos;
}

ExportScriptEdit WithOneZovikLine(std::string_view current) {
  if (IsUtf16(current)) return Utf16Refusal();
  const ExportScript script(current);
  ExportScriptEdit edit;
  std::vector<bool> drop(script.lines.size(), false);
  for (size_t i = 0; i < script.lines.size(); ++i) {
    if (!script.ours[i]) continue;
    const bool runs = script.Runs(i);
    edit.zovikLinesFound += runs ? 1 : 0;
    if (!runs || edit.zovikLinesFound > 1) {
      drop[i] = true;
      ++edit.zovikLinesRemoved;
    }
  }
  if (edit.zovikLinesFound > 0) {
    size_t kept = 0;
    while (!script.ours[kept] || drop[kept]) ++kept;
    // Only the line this program writes, alone at the top level, is moved:
    // a line of the pilot's making may hold more than our call, or sit in a
    // block of his.
    const std::optional<std::pair<size_t, size_t>> below =
        script.IsOurOwnLine(kept) ? script.LastPlainCallback(kept) : std::nullopt;
    if (below) {
      drop[kept] = true;
      edit.movedBelow = below->first + 1 - static_cast<size_t>(std::count(
                                               drop.begin(), drop.begin() + below->first, true));
    }
    script.Rebuild(drop, below ? std::optional<size_t>(below->second + 1) : std::nullopt, &edit);
    edit.returnLine = 0;
    return edit;
  }
  const LuaLinesShape& shape = script.shape;
  if (shape.unclosedFrom) {
    return Refused(LineOf(*shape.unclosedFrom) +
                   " opens a comment or string that is never closed, so the game cannot load "
                   "the file: close it, then run this again");
  }
  if (shape.returnLine && !shape.returnStartsLine) {
    return Refused(LineOf(*shape.returnLine) +
                   " ends the file with a return that does not start its line, and nothing "
                   "after it would run: put that return on a line of its own, then run this "
                   "again");
  }
  edit.added = true;
  if (shape.returnLine) {
    script.Rebuild(drop, shape.returnLine, &edit);
    return edit;
  }
  const std::string_view newline = script.NewlineStyle();
  edit.bytes = current;
  const bool unended = !script.lines.empty() && script.lines.back().end.empty();
  if (unended) edit.bytes += newline;
  edit.bytes += kZovikExportLine;
  if (!unended) edit.bytes += newline;
  return edit;
}

ExportScriptEdit WithoutZovikLines(std::string_view current) {
  if (IsUtf16(current)) return Utf16Refusal();
  const ExportScript script(current);
  ExportScriptEdit edit;
  for (const bool ours : script.ours) edit.zovikLinesRemoved += ours ? 1 : 0;
  script.Rebuild(script.ours, std::nullopt, &edit);
  return edit;
}
