// Lua 5.1's lexical rules read a line at a time: enough to tell which lines of
// Export.lua are code and where a top-level return ends the chunk, without
// parsing it.
#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

inline constexpr size_t kNoCode = std::string_view::npos;

struct LuaLinesShape {
  // Per line, where its code starts: 0, or just past the long comment or long
  // string the line starts inside; kNoCode when the whole line is inside one.
  std::vector<size_t> codeFrom;
  // The line (from 0) of the chunk's first `return` outside every block: the
  // chunk's last statement. A line added after it makes the file fail to load.
  std::optional<size_t> returnLine;
  // True when that return is the first token of a line that starts in code,
  // so that a line put just before it runs.
  bool returnStartsLine = false;
  // Per line, how many blocks are open at its end: 0 where the chunk's top
  // level resumes.
  std::vector<int> depthAfter;
  // The line where a long comment or long string opens that is never closed.
  std::optional<size_t> unclosedFrom;
};

// `lines` without their line ends.
LuaLinesShape ScanLuaLines(std::span<const std::string_view> lines);

// The tokens of one line's code, read from where its code starts; comments
// are skipped, and the line ends inside a string or comment it leaves open.
struct LuaToken {
  enum class Kind { kWord, kString, kSymbol, kNumber } kind;
  std::string_view text;  // a string's contents, without its quotes or brackets
};
std::vector<LuaToken> LuaTokensOf(std::string_view code);
