// A plain blocking UDP receive and nothing else: the baseline the plugin's
// listener is measured against, on the same port, from the same sender.
#pragma once

#include <cstddef>
#include <cstdint>

class BareReceiver {
 public:
  // Binds every local address on `port`; throws std::runtime_error when it
  // cannot.
  explicit BareReceiver(uint16_t port);
  ~BareReceiver();
  BareReceiver(const BareReceiver&) = delete;
  BareReceiver& operator=(const BareReceiver&) = delete;

  // Blocks for the next datagram and returns its length (cut to `capacity`),
  // or -1 when the receive fails.
  long Receive(char* buffer, size_t capacity);

 private:
  intptr_t socket_;
};
