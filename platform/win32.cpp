// Windows backend of platform.h.
#include "platform/platform.h"

#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <cwchar>
#include <vector>


const char kPlatformNewline[] = "\r\n";
const char kPlatformPathSeparator = '\\';
const char kPlatformForeignSeparator = '/';

namespace {
constexpr wchar_t kRegistryKey[] = L"Software\\Wemto\\ZOVIK";
constexpr DWORD kValueBufferBytes = 1024;
}  // namespace

namespace {
// The fixed API 20 build reads the machine's values only, as it always did.
#ifdef ZOVIK_FIXED_PLUGIN_API
constexpr bool kUserSettingsFirst = false;
#else
constexpr bool kUserSettingsFirst = true;
#endif

// The value of `which` under `root`; kMissing when the key or value is not there.
SettingValue ReadSettingUnder(HKEY root, Setting which) {
  SettingValue setting;
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, kRegistryKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return setting;
  }
  // One spare wide character beyond what the registry may fill, so the data
  // is terminated whatever its size or type.
  wchar_t data[kValueBufferBytes / sizeof(wchar_t) + 1] = {};
  DWORD type = 0;
  DWORD size = kValueBufferBytes;
  const LONG status = RegQueryValueExW(key, NamesOf(which).registryValue, nullptr, &type,
                                       reinterpret_cast<BYTE*>(data), &size);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return setting;
  if (type == REG_DWORD && size == sizeof(DWORD)) {
    // Taken as the signed number it stands for: a DWORD of -1 (FFFFFFFF)
    // turns the log off, as the text "-1" does.
    int32_t number;
    std::memcpy(&number, data, sizeof number);
    setting.kind = SettingValue::kNumber;
    setting.number = number;
    return setting;
  }
  if (type == REG_QWORD && size == sizeof(ULONGLONG)) {
    ULONGLONG number;
    std::memcpy(&number, data, sizeof number);
    setting.kind = SettingValue::kNumber;
    setting.number = static_cast<int64_t>(number);
    return setting;
  }
  // Any other type is taken as wide text, as far as its data goes.
  const size_t characters = size / sizeof(wchar_t);
  data[characters] = L'\0';
  setting.kind = SettingValue::kText;
  setting.text.assign(data, wcsnlen(data, characters));
  return setting;
}
}  // namespace

SettingValue PlatformReadSetting(Setting which) {
  // A pilot overrides a machine-wide value without administrator rights.
  if (kUserSettingsFirst) {
    SettingValue user = ReadSettingUnder(HKEY_CURRENT_USER, which);
    if (user.kind != SettingValue::kMissing) return user;
  }
  return ReadSettingUnder(HKEY_LOCAL_MACHINE, which);
}

bool PlatformWriteSetting(Setting which, std::wstring_view text) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kRegistryKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring data(text);  // terminated, as REG_SZ data should be
  const LONG status =
      RegSetValueExW(key, NamesOf(which).registryValue, 0, REG_SZ,
                     reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

namespace {

// version.dll's three readers, loaded by full path from the system folder
// when needed: the plugin's import table stays what every build has, and no
// version.dll beside the client can stand in for the system's.
struct VersionApi {
  HMODULE module = nullptr;
  DWORD(WINAPI* sizeOf)(LPCWSTR, LPDWORD) = nullptr;
  BOOL(WINAPI* read)(LPCWSTR, DWORD, DWORD, LPVOID) = nullptr;
  BOOL(WINAPI* query)(LPCVOID, LPCWSTR, LPVOID*, PUINT) = nullptr;

  VersionApi() {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    module = LoadLibraryW((std::wstring(system, length) + L"\\version.dll").c_str());
    if (module == nullptr) return;
    sizeOf = reinterpret_cast<decltype(sizeOf)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoSizeW")));
    read = reinterpret_cast<decltype(read)>(
        reinterpret_cast<void*>(GetProcAddress(module, "GetFileVersionInfoW")));
    query = reinterpret_cast<decltype(query)>(
        reinterpret_cast<void*>(GetProcAddress(module, "VerQueryValueW")));
  }
  ~VersionApi() {
    if (module != nullptr) FreeLibrary(module);
  }
  bool usable() const { return sizeOf != nullptr && read != nullptr && query != nullptr; }
};

// The running program's path; empty when it cannot be had whole.
std::wstring ProgramPath() {
  std::wstring path(MAX_PATH, L'\0');
  while (path.size() <= 32768) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);  // cut at the buffer's end: not the program's path
  }
  return {};
}

}  // namespace

bool PlatformHostProgramVersion(ProgramVersion* version) {
  const std::wstring path = ProgramPath();
  if (path.empty()) return false;
  const VersionApi api;
  if (!api.usable()) return false;
  DWORD ignored = 0;
  const DWORD size = api.sizeOf(path.c_str(), &ignored);
  if (size == 0) return false;
  std::vector<unsigned char> data(size);
  if (!api.read(path.c_str(), 0, size, data.data())) return false;
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedSize = 0;
  if (!api.query(data.data(), L"\\", reinterpret_cast<void**>(&fixed), &fixedSize) ||
      fixed == nullptr || fixedSize < sizeof(VS_FIXEDFILEINFO) ||
      fixed->dwSignature != 0xFEEF04BD) {
    return false;
  }
  version->major = HIWORD(fixed->dwFileVersionMS);
  version->minor = LOWORD(fixed->dwFileVersionMS);
  version->patch = HIWORD(fixed->dwFileVersionLS);
  version->build = LOWORD(fixed->dwFileVersionLS);
  return true;
}

int64_t PlatformCoarseMilliseconds() { return static_cast<int64_t>(GetTickCount64()); }

LocalTime PlatformLocalTime() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return LocalTime{now.wYear, now.wMonth,  now.wDay,         now.wHour,
                   now.wMinute, now.wSecond, now.wMilliseconds};
}

bool PlatformUtf8ToWide(std::string_view utf8, std::wstring* out) {
  if (utf8.empty()) {
    out->clear();
    return true;
  }
  if (utf8.size() > INT_MAX) return false;
  const int length = static_cast<int>(utf8.size());
  const int needed =
      MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (needed <= 0) return false;
  std::wstring result(static_cast<size_t>(needed), L'\0');
  if (MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, result.data(),
                          needed) != needed) {
    return false;
  }
  *out = std::move(result);
  return true;
}

bool PlatformWideToUtf8(std::wstring_view wide, std::string* out) {
  if (wide.empty()) {
    out->clear();
    return true;
  }
  if (wide.size() > INT_MAX) return false;
  const int length = static_cast<int>(wide.size());
  const int needed = WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length,
                                         nullptr, 0, nullptr, nullptr);
  if (needed <= 0) return false;
  std::string result(static_cast<size_t>(needed), '\0');
  if (WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide.data(), length, result.data(),
                          needed, nullptr, nullptr) != needed) {
    return false;
  }
  *out = std::move(result);
  return true;
}

FILE* PlatformOpenFile(const std::wstring& path, const wchar_t* mode) {
  return _wfopen(path.c_str(), mode);
}

struct PlatformThread {
  HANDLE handle;
  void (*body)(void*);
  void* argument;
};

namespace {
DWORD WINAPI RunThreadBody(void* context) {
  const auto* thread = static_cast<const PlatformThread*>(context);
  thread->body(thread->argument);
  return 0;
}
}  // namespace

PlatformThread* PlatformThreadStart(void (*body)(void*), void* argument) {
  auto* thread = new PlatformThread{nullptr, body, argument};
  thread->handle = CreateThread(nullptr, 0, &RunThreadBody, thread, 0, nullptr);
  if (thread->handle == nullptr) {
    delete thread;
    return nullptr;
  }
  return thread;
}

void PlatformThreadJoin(PlatformThread* thread) {
  WaitForSingleObject(thread->handle, INFINITE);
  CloseHandle(thread->handle);
  delete thread;
}

// The body still reads its PlatformThread, so the record stays with the
// thread; this happens only when the process ends.
void PlatformThreadDetach(PlatformThread* thread) { CloseHandle(thread->handle); }

struct PlatformUdpSocket {
  SOCKET socket;
  WSAEVENT readable;  // signalled by FD_READ
  HANDLE stop;        // manual reset: once set, every receive returns kStopped
  std::atomic<bool> stopping{false};
};

void PlatformSocketsStartup() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
}

void PlatformSocketsCleanup() { WSACleanup(); }

PlatformUdpSocket* PlatformUdpOpen(uint16_t port, const char** stage, int* errorCode) {
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    *stage = "create the UDP socket";
    *errorCode = WSAGetLastError();
    return nullptr;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  // Without this another process could bind the same port with SO_REUSEADDR
  // and take our datagrams.
  BOOL exclusive = TRUE;
  setsockopt(s, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&exclusive),
             sizeof exclusive);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *stage = "bind the UDP socket";
    *errorCode = WSAGetLastError();
    closesocket(s);
    return nullptr;
  }
  WSAEVENT readable = WSACreateEvent();
  HANDLE stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (readable == WSA_INVALID_EVENT || stop == nullptr ||
      WSAEventSelect(s, readable, FD_READ) != 0) {
    *stage = "watch the UDP socket for datagrams";
    *errorCode = WSAGetLastError();
    if (readable != WSA_INVALID_EVENT) WSACloseEvent(readable);
    if (stop != nullptr) CloseHandle(stop);
    closesocket(s);
    return nullptr;
  }
  return new PlatformUdpSocket{s, readable, stop};
}

UdpResult PlatformUdpReceive(PlatformUdpSocket* socket, char* buffer, size_t capacity,
                             size_t* received, int* errorCode) {
  const int length = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  for (;;) {
    if (socket->stopping.load(std::memory_order_acquire)) return UdpResult::kStopped;
    // Wait first: FD_READ is signalled while a datagram is queued (also one
    // queued before WSAEventSelect), so no receive is made only to learn
    // WSAEWOULDBLOCK; under Wine each such call is two more wineserver
    // round trips for every datagram.
    HANDLE events[2] = {socket->stop, socket->readable};
    const DWORD woken = WaitForMultipleObjects(2, events, FALSE, INFINITE);
    if (woken == WAIT_OBJECT_0) return UdpResult::kStopped;
    if (woken != WAIT_OBJECT_0 + 1) {
      *errorCode = static_cast<int>(GetLastError());
      return UdpResult::kError;
    }
    WSAResetEvent(socket->readable);
    sockaddr_in from{};
    int fromLength = sizeof from;
    // The socket is non-blocking since WSAEventSelect. Every call re-enables
    // FD_READ, which signals the event again while more datagrams wait.
    const int n = ::recvfrom(socket->socket, buffer, length, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n != SOCKET_ERROR) {
      *received = static_cast<size_t>(n);
      return UdpResult::kOk;
    }
    const int error = WSAGetLastError();
    if (error == WSAEMSGSIZE) {
      // The buffer holds the datagram's first bytes; the rest is discarded.
      *received = static_cast<size_t>(length);
      return UdpResult::kOk;
    }
    if (error == WSAECONNRESET) continue;  // an ICMP report about an earlier datagram
    if (error == WSAEWOULDBLOCK) continue;  // woken with nothing left to read
    *errorCode = error;
    return UdpResult::kError;
  }
}

void PlatformUdpWake(PlatformUdpSocket* socket) {
  socket->stopping.store(true, std::memory_order_release);
  SetEvent(socket->stop);
}

void PlatformUdpClose(PlatformUdpSocket* socket) {
  if (socket == nullptr) return;
  closesocket(socket->socket);
  WSACloseEvent(socket->readable);
  CloseHandle(socket->stop);
  delete socket;
}
