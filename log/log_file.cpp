#include "log/log_file.h"

#include <algorithm>
#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "common/setting_number.h"
#include "platform/platform.h"

CLogFile g_logFile;

namespace {

constexpr char kLogFolder[] = "zovik_plugin";
constexpr char kLogFileName[] = "zovik_plugin.log";

// The log path in UTF-8, or empty when there is none to trust: a directory
// the host did not report would put the log in the client's working
// directory, and a path that does not fit the host's buffer, once cut, could
// name some other file.
std::string LogPathFor(std::string_view pluginPath) {
  if (pluginPath.empty()) return {};
  std::string path(pluginPath);
  for (char& c : path) {
    if (c == kPlatformForeignSeparator) c = kPlatformPathSeparator;
  }
  if (!path.empty() && path.back() != kPlatformPathSeparator) path += kPlatformPathSeparator;
  path += kLogFolder;
  path += kPlatformPathSeparator;
  path += kLogFileName;
  if (path.size() + 1 > kPluginPathBytes) return {};
  return path;
}

}  // namespace

std::wstring WidenBytes(std::string_view narrow) {
  std::wstring wide;
  wide.reserve(narrow.size());
  for (char c : narrow) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

void LogMessage(std::string_view message, int level) {
  if (g_logFile.Wants(level)) g_logFile.Write(WidenBytes(message), level);
}

std::string FormatLogMessage(const char* format, ...) {
  char buffer[kMessageBufferBytes];
  va_list arguments;
  va_start(arguments, format);
  const int written = std::vsnprintf(buffer, sizeof buffer, format, arguments);
  va_end(arguments);
  if (written < 0) return {};
  return std::string(buffer, std::min(static_cast<size_t>(written), sizeof buffer - 1));
}

void CLogFile::Open(std::string_view pluginPath) {
  {
    // A second start in the same process begins like the first.
    std::lock_guard<std::mutex> guard(lock_);
    logFileName_.clear();
  }
  logLevel.store(0, std::memory_order_relaxed);

  const std::string utf8Path = LogPathFor(pluginPath);
  if (utf8Path.empty()) return;
  std::wstring widePath;
  // A directory that is not valid UTF-8 is taken byte by byte, as older hosts
  // reported it.
  if (!PlatformUtf8ToWide(utf8Path, &widePath)) widePath = WidenBytes(utf8Path);

  const int level = SettingNumber(PlatformReadSetting(Setting::kLogLevel), 0);

  FILE* file = PlatformOpenFile(widePath, L"wb");
  if (file == nullptr) return;
  std::fclose(file);
  {
    std::lock_guard<std::mutex> guard(lock_);
    logFileName_ = widePath;
  }
  logLevel.store(level, std::memory_order_relaxed);
  if (Wants(0)) Write(WidenBytes(FormatLogMessage("Initialize Log file with %d level", level)), 0);
}

void CLogFile::SetLevel(int level) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (logFileName_.empty()) return;
  }
  const int previous = logLevel.exchange(level, std::memory_order_relaxed);
  if (previous == level) return;
  // Said at the level that is on, so turning the log off leaves the line too.
  if (previous >= 0 || level >= 0) {
    Write(WidenBytes(FormatLogMessage("Log level set to %d", level)), 0);
  }
}

int CLogFile::Write(std::wstring_view message, int level) {
  std::string body;
  body.reserve(message.size() + 2);
  for (wchar_t c : message) {
    if (c == L'\n') {
      body += kPlatformNewline;
    } else {
      // Messages are ASCII or text widened byte by byte; anything wider has no
      // single byte to stand for it.
      body.push_back(static_cast<uint32_t>(c) <= 0xFF ? static_cast<char>(c) : '?');
    }
  }
  body += kPlatformNewline;

  std::lock_guard<std::mutex> guard(lock_);
  if (logFileName_.empty()) return -1;
  const LocalTime t = PlatformLocalTime();
  char line[64];
  const int prefixLength =
      std::snprintf(line, sizeof line, "[%04d-%02d-%02d %02d:%02d:%02d.%03d][L%02d] ", t.year,
                    t.month, t.day, t.hour, t.minute, t.second, t.millisecond, level);
  // The line is whole before the file is opened: running out of memory for
  // it must not leave the file open.
  body.insert(0, line, std::clamp<size_t>(prefixLength < 0 ? 0 : prefixLength, 0, sizeof line - 1));
  FILE* file = PlatformOpenFile(logFileName_, L"ab");
  if (file == nullptr) return -1;
  // One write per line, so a line is never split between writers.
  std::fwrite(body.data(), 1, body.size(), file);
  std::fclose(file);
  return 0;
}

std::wstring CLogFile::FileName() {
  std::lock_guard<std::mutex> guard(lock_);
  return logFileName_;
}
