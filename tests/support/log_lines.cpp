#include "tests/support/log_lines.h"

#include <cctype>

#include "platform/platform.h"

namespace {
constexpr size_t kPrefixLength = sizeof "[2014-04-16 18:21:31.042][L03] " - 1;
}

std::vector<std::string> SplitLogLines(const std::string& bytes) {
  const std::string newline = kPlatformNewline;
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    const size_t end = bytes.find(newline, start);
    if (end == std::string::npos) {
      lines.push_back("<unterminated>");
      break;
    }
    lines.push_back(bytes.substr(start, end - start));
    start = end + newline.size();
  }
  return lines;
}

bool HasLogPrefix(const std::string& line) {
  static const char kShape[] = "[dddd-dd-dd dd:dd:dd.ddd][Ldd] ";
  if (line.size() < kPrefixLength) return false;
  for (size_t i = 0; i < kPrefixLength; ++i) {
    const bool ok = kShape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0
                                     : line[i] == kShape[i];
    if (!ok) return false;
  }
  return true;
}

std::string MessageOf(const std::string& line) {
  return HasLogPrefix(line) ? line.substr(kPrefixLength) : std::string();
}

int LevelOf(const std::string& line) {
  return HasLogPrefix(line) ? std::stoi(line.substr(27, 2)) : -1;
}

std::vector<std::string> Messages(const std::vector<std::string>& lines, int level) {
  std::vector<std::string> messages;
  for (const std::string& line : lines) {
    if (level == -1 || LevelOf(line) == level) messages.push_back(MessageOf(line));
  }
  return messages;
}
