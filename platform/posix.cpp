// Linux backend of platform.h.
#include "platform/platform.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <system_error>
#include <thread>

const char kPlatformNewline[] = "\n";
const char kPlatformPathSeparator = '/';
// Backslash is an ordinary file name character here, so nothing is rewritten.
const char kPlatformForeignSeparator = '/';

SettingValue PlatformReadSetting(Setting which) {
  SettingValue setting;
  const char* value = std::getenv(NamesOf(which).environmentVariable);
  if (value == nullptr) return setting;
  setting.kind = SettingValue::kText;
  for (const char* c = value; *c != '\0'; ++c) {
    setting.text.push_back(static_cast<wchar_t>(static_cast<unsigned char>(*c)));
  }
  return setting;
}

// The environment is the client's, set before it starts.
bool PlatformWriteSetting(Setting, std::wstring_view) { return false; }

// Linux programs carry no version resource; the current clients' API is
// answered.
bool PlatformHostProgramVersion(ProgramVersion*) { return false; }

int64_t PlatformCoarseMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

LocalTime PlatformLocalTime() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  tm parts{};
  localtime_r(&now.tv_sec, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour,
                   parts.tm_min,         parts.tm_sec,     static_cast<int>(now.tv_nsec / 1000000)};
}

bool PlatformUtf8ToWide(std::string_view utf8, std::wstring* out) {
  std::wstring result;
  size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    size_t extra;
    char32_t code;
    char32_t minimum;
    if (lead < 0x80) {
      extra = 0, code = lead, minimum = 0;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1, code = lead & 0x1F, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2, code = lead & 0x0F, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3, code = lead & 0x07, minimum = 0x10000;
    } else {
      return false;
    }
    if (utf8.size() - i - 1 < extra) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      code = (code << 6) | (next & 0x3F);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    result.push_back(static_cast<wchar_t>(code));
    i += extra + 1;
  }
  *out = std::move(result);
  return true;
}

bool PlatformWideToUtf8(std::wstring_view wide, std::string* out) {
  std::string result;
  for (wchar_t w : wide) {
    const auto code = static_cast<uint32_t>(w);
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    if (code < 0x80) {
      result.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      result.push_back(static_cast<char>(0xC0 | (code >> 6)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      result.push_back(static_cast<char>(0xE0 | (code >> 12)));
      result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      result.push_back(static_cast<char>(0xF0 | (code >> 18)));
      result.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      result.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
  *out = std::move(result);
  return true;
}

FILE* PlatformOpenFile(const std::wstring& path, const wchar_t* mode) {
  std::string narrowPath;
  std::string narrowMode;
  if (!PlatformWideToUtf8(path, &narrowPath) || !PlatformWideToUtf8(mode, &narrowMode)) {
    return nullptr;
  }
  return std::fopen(narrowPath.c_str(), narrowMode.c_str());
}

struct PlatformThread {
  std::thread thread;
};

PlatformThread* PlatformThreadStart(void (*body)(void*), void* argument) {
  try {
    return new PlatformThread{std::thread(body, argument)};
  } catch (const std::system_error&) {
    return nullptr;
  }
}

void PlatformThreadJoin(PlatformThread* thread) {
  thread->thread.join();
  delete thread;
}

void PlatformThreadDetach(PlatformThread* thread) {
  thread->thread.detach();
  delete thread;
}

struct PlatformUdpSocket {
  int fd;
  std::atomic<bool> stopping{false};
};

// Nothing to start on this platform.
void PlatformSocketsStartup() {}
void PlatformSocketsCleanup() {}

PlatformUdpSocket* PlatformUdpOpen(uint16_t port, const char** stage, int* errorCode) {
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *stage = "create the UDP socket";
    *errorCode = errno;
    return nullptr;
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    *stage = "bind the UDP socket";
    *errorCode = errno;
    ::close(fd);
    return nullptr;
  }
  return new PlatformUdpSocket{fd};
}

UdpResult PlatformUdpReceive(PlatformUdpSocket* socket, char* buffer, size_t capacity,
                             size_t* received, int* errorCode) {
  for (;;) {
    if (socket->stopping.load(std::memory_order_acquire)) return UdpResult::kStopped;
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(socket->fd, buffer, capacity, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    // shutdown() from PlatformUdpWake makes the receive return; the flag tells
    // that apart from an empty datagram.
    if (socket->stopping.load(std::memory_order_acquire)) return UdpResult::kStopped;
    if (n >= 0) {
      *received = static_cast<size_t>(n);
      return UdpResult::kOk;
    }
    if (errno == EINTR) continue;
    *errorCode = errno;
    return UdpResult::kError;
  }
}

void PlatformUdpWake(PlatformUdpSocket* socket) {
  socket->stopping.store(true, std::memory_order_release);
  // On an unbound-peer UDP socket this reports ENOTCONN but still wakes a
  // blocked recvfrom, and every later one returns at once.
  ::shutdown(socket->fd, SHUT_RDWR);
}

void PlatformUdpClose(PlatformUdpSocket* socket) {
  if (socket == nullptr) return;
  ::close(socket->fd);
  delete socket;
}
