// The rule that ties the simulator's radio to the server's channels: a
// datagram's text is a frequency in kHz, and an accepted frequency names its
// channel. Server admins name their channels by this rule byte for byte.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

constexpr int32_t kLowestFrequency = 30001;   // 30.001 MHz
constexpr int32_t kHighestFrequency = 399999;  // 399.999 MHz
constexpr size_t kMaxChannelNameBytes = 15;    // "Fréquences 399"

// A channel name in a fixed buffer, so naming never allocates.
struct ChannelName {
  char bytes[kMaxChannelNameBytes + 1] = {};
  size_t length = 0;
  std::string_view view() const { return {bytes, length}; }
  const char* c_str() const { return bytes; }
};

// The frequency the first `length` bytes of a datagram give, read like atoi
// but clamped to the signed 32-bit range.
int32_t ParseFrequency(const char* text, size_t length);

// The game side's "no aircraft any more" (menu, spectator, death): the text
// "0" alone, blanks and line ends around it allowed. Text that merely reads
// as 0 ("abc") is no such message.
bool IsLeaveAircraft(const char* text, size_t length);

// 30001 <= frequency <= 399999.
bool IsAcceptedFrequency(int32_t frequency);

// "251000" -> "Fréquences 251", "251500" -> "251.5", "251250" -> "251.250".
// Defined for accepted frequencies; any other gives an empty name.
ChannelName FrequencyToChannelName(int32_t frequency);
