// Linux socket calls of UdpSender.
#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "tools/sender/udp_sender.h"

UdpSender::UdpSender() : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

UdpSender::~UdpSender() {
  if (socket_ >= 0) ::close(static_cast<int>(socket_));
}

bool UdpSender::Send(const std::string& host, uint16_t port, const void* bytes, size_t length,
                     std::string* error) {
  if (socket_ < 0) {
    *error = "cannot create a UDP socket";
    return false;
  }
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  if (inet_pton(AF_INET, host.c_str(), &to.sin_addr) != 1) {
    *error = "not an IPv4 address: " + host;
    return false;
  }
  const ssize_t sent = ::sendto(static_cast<int>(socket_), bytes, length, 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
  if (sent != static_cast<ssize_t>(length)) {
    *error = std::string("sendto failed: ") + std::strerror(errno);
    return false;
  }
  return true;
}
