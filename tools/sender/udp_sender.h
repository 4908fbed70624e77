// Sends frequency datagrams the way the simulator side does: the frequency in
// kHz as ASCII digits, nothing else, to UDP port 10500.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

constexpr uint16_t kDefaultFrequencyPort = 10500;

// One UDP socket for sending; opened on first use.
class UdpSender {
 public:
  UdpSender();
  ~UdpSender();
  UdpSender(const UdpSender&) = delete;
  UdpSender& operator=(const UdpSender&) = delete;

  // `host` is a dotted IPv4 address. False with *error set on failure.
  bool Send(const std::string& host, uint16_t port, const void* bytes, size_t length,
            std::string* error);
  bool SendText(const std::string& text, std::string* error) {
    return Send("127.0.0.1", kDefaultFrequencyPort, text.data(), text.size(), error);
  }

 private:
  intptr_t socket_;
};
