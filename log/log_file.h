// The plugin's only diagnostic output: one text file, one line per event,
// recreated empty at every start. Lines come from the host's thread and from
// the listener thread; the lock keeps each open-append-close whole.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>

constexpr size_t kPluginPathBytes = 512;  // the host's buffer, terminator included
constexpr size_t kMessageBufferBytes = 512;

class CLogFile {
 public:
  // Reads the level from the platform's setting and recreates
  // <pluginPath>zovik_plugin/zovik_plugin.log. `pluginPath` is the host's UTF-8
  // plugin directory. Without a file nothing is logged and logLevel stays 0;
  // an empty directory gives no file.
  // Called on the host's thread before the listener starts.
  void Open(std::string_view pluginPath);

  // Appends "[YYYY-MM-DD hh:mm:ss.mmm][Lnn] " + message + newline. Each wide
  // character becomes one byte and a line feed becomes the platform's newline.
  // Returns 0, or -1 when the file cannot be opened. Callers test the level.
  int Write(std::wstring_view message, int level);

  // True when a message of `level` is to be written.
  bool Wants(int level) const { return logLevel.load(std::memory_order_relaxed) >= level; }

  // Makes `level` count from now on (the settings dialog's OK) and logs the
  // change at level 0 while the log is on; an unchanged level logs nothing.
  // Without a file the level stays as it is. Any thread.
  void SetLevel(int level);

  // Full path of the log file, empty when there is none.
  std::wstring FileName();

  // Set by Open, before the listener thread exists, and by SetLevel; read by
  // every thread.
  std::atomic<int> logLevel{0};

 private:
  std::mutex lock_;           // held for one line's open-append-close
  std::wstring logFileName_;  // guarded by lock_
};

// The process-wide log, from library load to unload.
extern CLogFile g_logFile;

// Narrow text (UTF-8 channel names, datagram bytes) widened byte by byte, so
// its bytes reach the file unchanged.
std::wstring WidenBytes(std::string_view narrow);

// Writes narrow `message` at `level` to the process-wide log when the level
// asks for it. Callers that format first test g_logFile.Wants themselves, so
// no formatting is paid for a line that is not written.
void LogMessage(std::string_view message, int level);

// printf-style formatting into a message buffer of kMessageBufferBytes;
// longer results are cut at the buffer's end.
std::string FormatLogMessage(const char* format, ...)
#if defined(__GNUC__) && !defined(_WIN32)  // MinGW's printf checks disagree with its own %llu
    __attribute__((format(printf, 1, 2)))
#endif
    ;
