// Reading a decimal number the way atoi/_wtoi do, for untrusted text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <limits>

// Leading white space is skipped, an optional sign taken, then decimal digits
// up to the first non-digit or the end of the text; no digits gives 0.
// Unlike the C runtime's atoi, a number outside the signed 32-bit range
// clamps to its nearest end instead of wrapping: the Windows runtime reads
// "4295218296" as 251000, which would turn garbage into a valid frequency.
// Never reads past text[length - 1].
template <typename Char>
int32_t ParseDecimalClamped(const Char* text, size_t length) {
  size_t i = 0;
  while (i < length && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < length && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range.
  constexpr int64_t kLimit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
  int64_t value = 0;
  for (; i < length && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (value <= kLimit) value = value * 10 + (text[i] - '0');
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}
