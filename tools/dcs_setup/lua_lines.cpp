#include "tools/dcs_setup/lua_lines.h"

#include <string>

namespace {

constexpr size_t kNone = std::string_view::npos;

bool IsWordStart(char c) { return c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsWordPart(char c) { return IsWordStart(c) || (c >= '0' && c <= '9'); }

// The number of '=' of a long bracket opening at `at` ("[[", "[==["), or kNone.
size_t LongBracketLevel(std::string_view text, size_t at) {
  if (at >= text.size() || text[at] != '[') return kNone;
  size_t i = at + 1;
  while (i < text.size() && text[i] == '=') ++i;
  return i < text.size() && text[i] == '[' ? i - at - 1 : kNone;
}

// Just past the bracket closing a long one of `level` at or after `from`, or kNone.
size_t LongBracketEnd(std::string_view text, size_t from, size_t level) {
  std::string close(level + 2, '=');
  close.front() = close.back() = ']';
  const size_t at = text.find(close, from);
  return at == kNone ? kNone : at + close.size();
}

// Just past the quote closing a short string at or after `from`; kNone when
// the line ends first. `continues` is set when a backslash escapes the line
// end, which carries the string onto the next line.
size_t ShortStringEnd(std::string_view text, size_t from, char quote, bool* continues) {
  *continues = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '\\') {
      if (i + 1 == text.size()) *continues = true;
      ++i;
    } else if (text[i] == quote) {
      return i + 1;
    }
  }
  return kNone;
}

class Scanner {
 public:
  void Line(std::string_view text, size_t index, LuaLinesShape* shape) {
    const bool startsInCode = open_ == Open::kNothing;
    size_t at = ResumeOpen(text);
    shape->codeFrom.push_back(at);
    bool tokenSeen = false;
    while (at < text.size()) {
      const char c = text[at];
      if (c == ' ' || c == '\t' || c == '\f' || c == '\v') {
        ++at;
      } else if (text.compare(at, 2, "--") == 0) {
        const size_t level = LongBracketLevel(text, at + 2);
        if (level == kNone) break;
        at = Enter(Open::kLongComment, level, text, at + 4 + level, index);
      } else if (const size_t level = LongBracketLevel(text, at); level != kNone) {
        tokenSeen = true;
        at = Enter(Open::kLongString, level, text, at + 2 + level, index);
      } else if (c == '"' || c == '\'') {
        tokenSeen = true;
        bool continues = false;
        at = ShortStringEnd(text, at + 1, c, &continues);
        if (continues) {
          open_ = Open::kShortString;
          quote_ = c;
        }
      } else if (IsWordStart(c)) {
        size_t end = at;
        while (end < text.size() && IsWordPart(text[end])) ++end;
        Word(text.substr(at, end - at), index, startsInCode && !tokenSeen, shape);
        tokenSeen = true;
        at = end;
      } else if (c >= '0' && c <= '9') {
        // A number, hexadecimal digits and exponent included: never a keyword.
        while (at < text.size() && (IsWordPart(text[at]) || text[at] == '.')) ++at;
        tokenSeen = true;
      } else {
        tokenSeen = true;
        ++at;
      }
    }
  }

  int depth() const { return depth_; }

  void Finish(LuaLinesShape* shape) const {
    if (open_ == Open::kLongComment || open_ == Open::kLongString) {
      shape->unclosedFrom = openedOn_;
    }
  }

 private:
  enum class Open { kNothing, kLongComment, kLongString, kShortString };

  // Where code resumes on a line that starts inside something left open, or
  // kNoCode when it does not on this line.
  size_t ResumeOpen(std::string_view text) {
    if (open_ == Open::kNothing) return 0;
    if (open_ == Open::kShortString) {
      bool continues = false;
      const size_t end = ShortStringEnd(text, 0, quote_, &continues);
      // A string the line ends without continuing is an error the game
      // reports; what follows is read as code again.
      if (!continues) open_ = Open::kNothing;
      return end;
    }
    const size_t end = LongBracketEnd(text, 0, level_);
    if (end != kNone) open_ = Open::kNothing;
    return end;
  }

  // Opens a long comment or string whose text starts at `from`; returns where
  // code resumes on this line.
  size_t Enter(Open what, size_t level, std::string_view text, size_t from, size_t index) {
    const size_t end = LongBracketEnd(text, from, level);
    if (end != kNone) return end;
    open_ = what;
    level_ = level;
    openedOn_ = index;
    return text.size();
  }

  // Blocks open with function, do (of do, while and for), if and repeat, and
  // close with end and until: a return met outside all of them ends the chunk.
  void Word(std::string_view word, size_t index, bool firstOnLine, LuaLinesShape* shape) {
    if (word == "function" || word == "do" || word == "if" || word == "repeat") {
      ++depth_;
    } else if (word == "end" || word == "until") {
      // A file with more ends than blocks does not load anyway.
      if (depth_ > 0) --depth_;
    } else if (word == "return" && depth_ == 0 && !shape->returnLine) {
      shape->returnLine = index;
      shape->returnStartsLine = firstOnLine;
    }
  }

  Open open_ = Open::kNothing;
  size_t level_ = 0;
  char quote_ = 0;
  size_t openedOn_ = 0;
  int depth_ = 0;
};

}  // namespace

LuaLinesShape ScanLuaLines(std::span<const std::string_view> lines) {
  LuaLinesShape shape;
  Scanner scanner;
  for (size_t i = 0; i < lines.size(); ++i) {
    scanner.Line(lines[i], i, &shape);
    shape.depthAfter.push_back(scanner.depth());
  }
  scanner.Finish(&shape);
  return shape;
}

std::vector<LuaToken> LuaTokensOf(std::string_view code) {
  std::vector<LuaToken> tokens;
  size_t at = 0;
  while (at < code.size()) {
    const char c = code[at];
    if (c == ' ' || c == '\t' || c == '\f' || c == '\v') {
      ++at;
    } else if (code.compare(at, 2, "--") == 0) {
      const size_t level = LongBracketLevel(code, at + 2);
      if (level == kNone) break;
      at = LongBracketEnd(code, at + 4 + level, level);
      if (at == kNone) break;
    } else if (const size_t level = LongBracketLevel(code, at); level != kNone) {
      const size_t from = at + 2 + level;
      const size_t end = LongBracketEnd(code, from, level);
      const size_t stop = end == kNone ? code.size() : end - level - 2;
      tokens.push_back({LuaToken::Kind::kString, code.substr(from, stop - from)});
      at = end == kNone ? code.size() : end;
    } else if (c == '"' || c == '\'') {
      bool continues = false;
      const size_t end = ShortStringEnd(code, at + 1, c, &continues);
      const size_t stop = end == kNone ? code.size() : end - 1;
      tokens.push_back({LuaToken::Kind::kString, code.substr(at + 1, stop - at - 1)});
      at = end == kNone ? code.size() : end;
    } else if (IsWordStart(c)) {
      size_t end = at;
      while (end < code.size() && IsWordPart(code[end])) ++end;
      tokens.push_back({LuaToken::Kind::kWord, code.substr(at, end - at)});
      at = end;
    } else if (c >= '0' && c <= '9') {
      size_t end = at;
      while (end < code.size() && (IsWordPart(code[end]) || code[end] == '.')) ++end;
      tokens.push_back({LuaToken::Kind::kNumber, code.substr(at, end - at)});
      at = end;
    } else {
      tokens.push_back({LuaToken::Kind::kSymbol, code.substr(at, 1)});
      ++at;
    }
  }
  return tokens;
}
