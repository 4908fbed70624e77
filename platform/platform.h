// What the plugin needs from the operating system, declared once.
// platform/win32.cpp and platform/posix.cpp implement it; CMake compiles
// exactly one of them, so the code above this layer carries no #if.
#pragma once

#include <compare>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

// ---- Settings ----------------------------------------------------------------
// What a pilot may set: on Windows a value under Software\Wemto\ZOVIK, the
// user's (HKEY_CURRENT_USER) before the machine's (HKEY_LOCAL_MACHINE; the
// fixed API 20 build reads the machine's only); an environment variable on
// Linux.
enum class Setting { kLogLevel, kChatNotices, kLeaveAircraft };
struct SettingNames {
  const wchar_t* registryValue;
  const char* environmentVariable;
};
constexpr SettingNames NamesOf(Setting setting) {
  switch (setting) {
    case Setting::kLogLevel:
      return SettingNames{L"Log Level", "ZOVIK_LOG_LEVEL"};
    case Setting::kChatNotices:
      return SettingNames{L"Chat Notices", "ZOVIK_CHAT_NOTICES"};
    case Setting::kLeaveAircraft:
      break;
  }
  return SettingNames{L"Leave Aircraft", "ZOVIK_LEAVE_AIRCRAFT"};
}
struct SettingValue {
  enum Kind { kMissing, kText, kNumber };
  Kind kind = kMissing;
  std::wstring text;   // kText: the value's data, always terminated by std::wstring
  int64_t number = 0;  // kNumber: a REG_DWORD or REG_QWORD value
};
SettingValue PlatformReadSetting(Setting setting);
// Saves `text` as the user's value of `setting` (Windows: a string value
// under HKEY_CURRENT_USER). False when it cannot be saved, and always on
// Linux, where the environment is read only.
bool PlatformWriteSetting(Setting setting, std::wstring_view text);

// ---- Settings dialog ---------------------------------------------------------
// A native window of its own thread (Windows only), never modal to the
// client: log level, chat notices, what leaving the aircraft does.
struct SettingsChoice {
  int logLevel = 0;  // -1: off; 0 to 5
  bool chatNotices = true;
  bool backToMyChannel = false;
};
// Called on the dialog's thread when the pilot presses OK.
using SettingsChosen = void (*)(const SettingsChoice& choice);
// True where PlatformOpenSettingsDialog shows a dialog.
bool PlatformHasSettingsDialog();
// Shows the dialog with `current` and returns at once; a dialog already open
// is brought to the front instead. Any thread.
void PlatformOpenSettingsDialog(const SettingsChoice& current, SettingsChosen onOk);
// Closes an open dialog and waits until its thread has ended: the library
// may be unloaded next.
void PlatformCloseSettingsDialog();

// ---- The program that loaded us ----------------------------------------------
// A program's four-part file version, as in 3.5.6.0; compares part by part.
struct ProgramVersion {
  uint16_t major = 0, minor = 0, patch = 0, build = 0;
  auto operator<=>(const ProgramVersion&) const = default;
};
// The file version of the process's executable (Windows: its version
// resource). False where there is none (every other platform).
bool PlatformHostProgramVersion(ProgramVersion* version);

// ---- Local wall-clock time ---------------------------------------------------
struct LocalTime {
  int year, month, day, hour, minute, second, millisecond;
};
LocalTime PlatformLocalTime();

// Milliseconds of a clock that never goes back, read cheaply enough for
// every datagram (a few milliseconds coarse). Any thread.
int64_t PlatformCoarseMilliseconds();

// ---- Files and text --------------------------------------------------------
// Bytes that end a line in the log file ("\r\n" on Windows, "\n" elsewhere).
extern const char kPlatformNewline[];
// Separator the log path is built with; the other slash is rewritten to it.
extern const char kPlatformPathSeparator;
extern const char kPlatformForeignSeparator;

// Strict UTF-8 decoding; false (and *out untouched) on malformed input.
bool PlatformUtf8ToWide(std::string_view utf8, std::wstring* out);
// Encodes wide text as UTF-8; false when the text cannot be encoded.
bool PlatformWideToUtf8(std::wstring_view wide, std::string* out);
// Opens a file by wide path; mode is a C mode such as L"wb" or L"ab".
// Returns nullptr on failure.
FILE* PlatformOpenFile(const std::wstring& path, const wchar_t* mode);

// ---- Threads ---------------------------------------------------------------
// The listener's thread. On Windows it is a native thread: the C++ runtime's
// threads (winpthreads, linked into the DLL) leave handles behind at every
// unload of the library.
struct PlatformThread;

// Runs body(argument) on a new thread; nullptr when no thread can be made.
PlatformThread* PlatformThreadStart(void (*body)(void*), void* argument);
// Waits until the body has returned, then releases the thread.
void PlatformThreadJoin(PlatformThread* thread);
// Releases the thread without waiting; it runs on until its body returns.
void PlatformThreadDetach(PlatformThread* thread);

// ---- UDP -------------------------------------------------------------------
// Opaque: a socket plus whatever the platform needs to interrupt a receive.
struct PlatformUdpSocket;

enum class UdpResult {
  kOk,       // a datagram (possibly cut to the buffer) was received
  kStopped,  // PlatformUdpWake was called
  kError,    // the receive failed; errorCode tells why
};

// Process-wide socket library start and end (WSAStartup/WSACleanup), counted.
void PlatformSocketsStartup();
void PlatformSocketsCleanup();

// Creates an IPv4 datagram socket bound to any local address on `port`.
// On failure returns nullptr, sets *errorCode to the OS error number and
// *stage to what failed, in words that follow "Cannot" in the log line:
// "create the UDP socket", "bind the UDP socket", or (Windows) "watch the
// UDP socket for datagrams".
PlatformUdpSocket* PlatformUdpOpen(uint16_t port, const char** stage, int* errorCode);

// The open the listener calls: PlatformUdpOpen, unless a test has put one of
// its own in front of it (to make a stage fail on purpose). Changed only
// while no listener runs.
using PlatformUdpOpenFunction = PlatformUdpSocket* (*)(uint16_t port, const char** stage,
                                                       int* errorCode);
inline PlatformUdpOpenFunction g_platformUdpOpen = &PlatformUdpOpen;

// Blocks until a datagram arrives or PlatformUdpWake is called. A datagram
// longer than `capacity` is delivered as its first `capacity` bytes.
UdpResult PlatformUdpReceive(PlatformUdpSocket* socket, char* buffer, size_t capacity,
                             size_t* received, int* errorCode);

// The receive the listener calls: PlatformUdpReceive, unless a test has put
// a receive of its own in front of it (to make it fail on purpose). Changed
// only while no listener runs.
using PlatformUdpReceiveFunction = UdpResult (*)(PlatformUdpSocket* socket, char* buffer,
                                                 size_t capacity, size_t* received,
                                                 int* errorCode);
inline PlatformUdpReceiveFunction g_platformUdpReceive = &PlatformUdpReceive;

// Makes a receive that is blocked, or the next one, return kStopped.
// Safe to call from another thread while PlatformUdpReceive runs.
void PlatformUdpWake(PlatformUdpSocket* socket);

// Closes the socket; call only after the receiving thread has finished.
void PlatformUdpClose(PlatformUdpSocket* socket);
