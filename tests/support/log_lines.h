// Reading the plugin's log file back in tests.
#pragma once

#include <string>
#include <vector>

// The file's lines without their line ends; each line must end with the
// platform's newline, or the result holds "<unterminated>" at its end.
std::vector<std::string> SplitLogLines(const std::string& bytes);

// True when `line` is "[YYYY-MM-DD hh:mm:ss.mmm][Lnn] " followed by a message.
bool HasLogPrefix(const std::string& line);

// The message of a line (after the prefix) and its level; level -1 when the
// line has no prefix.
std::string MessageOf(const std::string& line);
int LevelOf(const std::string& line);

// The messages of every line of a given level (or of all levels with -1).
std::vector<std::string> Messages(const std::vector<std::string>& lines, int level = -1);
