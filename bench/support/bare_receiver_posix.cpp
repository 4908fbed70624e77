#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <string>

#include "bench/support/bare_receiver.h"

BareReceiver::BareReceiver(uint16_t port) : socket_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {
  if (socket_ < 0) throw std::runtime_error(std::string("socket: ") + std::strerror(errno));
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(static_cast<int>(socket_), reinterpret_cast<const sockaddr*>(&address),
             sizeof address) != 0) {
    const int error = errno;
    ::close(static_cast<int>(socket_));
    throw std::runtime_error("bind port " + std::to_string(port) + ": " + std::strerror(error));
  }
}

BareReceiver::~BareReceiver() { ::close(static_cast<int>(socket_)); }

long BareReceiver::Receive(char* buffer, size_t capacity) {
  for (;;) {
    // The sender's address is asked for, as the plugin's receive does.
    sockaddr_in from{};
    socklen_t fromLength = sizeof from;
    const ssize_t n = ::recvfrom(static_cast<int>(socket_), buffer, capacity, 0,
                                 reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n >= 0) return static_cast<long>(n);
    if (errno != EINTR) return -1;
  }
}
