#include <winsock2.h>
#include <ws2tcpip.h>

#include <climits>
#include <stdexcept>
#include <string>

#include "bench/support/bare_receiver.h"

BareReceiver::BareReceiver(uint16_t port) {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (s == INVALID_SOCKET) {
    WSACleanup();
    throw std::runtime_error("socket: error " + std::to_string(WSAGetLastError()));
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_ANY);
  address.sin_port = htons(port);
  if (::bind(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
    const int error = WSAGetLastError();
    closesocket(s);
    WSACleanup();
    throw std::runtime_error("bind port " + std::to_string(port) + ": error " +
                             std::to_string(error));
  }
  socket_ = static_cast<intptr_t>(s);
}

BareReceiver::~BareReceiver() {
  closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
}

long BareReceiver::Receive(char* buffer, size_t capacity) {
  const int length = capacity > INT_MAX ? INT_MAX : static_cast<int>(capacity);
  for (;;) {
    sockaddr_in from{};
    int fromLength = sizeof from;
    const int n = ::recvfrom(static_cast<SOCKET>(socket_), buffer, length, 0,
                             reinterpret_cast<sockaddr*>(&from), &fromLength);
    if (n != SOCKET_ERROR) return n;
    const int error = WSAGetLastError();
    if (error == WSAEMSGSIZE) return length;
    if (error != WSAECONNRESET) return -1;  // a reset reports an earlier datagram only
  }
}
