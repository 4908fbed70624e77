// Windows socket calls of UdpSender.
#include <winsock2.h>
#include <ws2tcpip.h>

#include "tools/sender/udp_sender.h"

UdpSender::UdpSender() {
  WSADATA data;
  WSAStartup(MAKEWORD(2, 2), &data);
  const SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
  socket_ = s == INVALID_SOCKET ? -1 : static_cast<intptr_t>(s);
}

UdpSender::~UdpSender() {
  if (socket_ >= 0) closesocket(static_cast<SOCKET>(socket_));
  WSACleanup();
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
  const int sent = ::sendto(static_cast<SOCKET>(socket_), static_cast<const char*>(bytes),
                            static_cast<int>(length), 0, reinterpret_cast<const sockaddr*>(&to),
                            sizeof to);
  if (sent != static_cast<int>(length)) {
    *error = "sendto failed: error " + std::to_string(WSAGetLastError());
    return false;
  }
  return true;
}
