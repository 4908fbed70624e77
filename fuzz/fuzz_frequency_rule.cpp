// The frequency rule on arbitrary datagram bytes. Checked per input:
// - parsing reads only the bytes it is given: a copy of exactly those bytes
//   in a heap block of its own (ASan stops a read one byte further) parses
//   the same, for the whole input and for shorter prefixes of it;
// - it reads like strtoll on the text up to its first NUL, clamped to the
//   32-bit range, never wrapped: garbage must not become a frequency;
// - accepted means 30001..399999, for parsed values and for raw 32-bit ones;
// - an accepted frequency names a channel of 1..15 bytes, NUL-terminated at
//   its length, that carries the frequency's megahertz; a refused one gives
//   an empty name.
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <string>

#include "fuzz/fuzz_support.h"
#include "udpserver/frequency_rule.h"

namespace {

int32_t ParseOwnCopy(const uint8_t* data, size_t size) {
  const std::unique_ptr<char[]> copy(new char[size]);
  if (size != 0) std::memcpy(copy.get(), data, size);
  return ParseFrequency(copy.get(), size);
}

int32_t ReferenceParse(const char* text, size_t size) {
  const std::string cString(text, strnlen(text, size));
  const long long value = std::strtoll(cString.c_str(), nullptr, 10);
  if (value > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  if (value < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

void CheckFrequency(int32_t frequency) {
  const bool accepted = IsAcceptedFrequency(frequency);
  FUZZ_CHECK(accepted == (frequency >= 30001 && frequency <= 399999));
  const ChannelName name = FrequencyToChannelName(frequency);
  FUZZ_CHECK(name.length <= 15);
  FUZZ_CHECK(name.bytes[name.length] == '\0' && std::strlen(name.c_str()) == name.length);
  if (!accepted) {
    FUZZ_CHECK(name.length == 0);
    return;
  }
  FUZZ_CHECK(name.length > 0);
  // "Fréquences 251", "251.5", "251.250": the megahertz lead the number.
  std::string_view number = name.view();
  constexpr std::string_view kWholeMegahertz = "Fr\xC3\xA9quences ";
  if (number.starts_with(kWholeMegahertz)) number.remove_prefix(kWholeMegahertz.size());
  FUZZ_CHECK(ParseFrequency(number.data(), number.size()) == frequency / 1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const int32_t frequency = ParseFrequency(text, size);
  FUZZ_CHECK(frequency == ParseOwnCopy(data, size));
  FUZZ_CHECK(frequency == ReferenceParse(text, size));
  for (size_t shorter : {size / 2, size == 0 ? size_t{0} : size - 1}) {
    FUZZ_CHECK(ParseFrequency(text, shorter) == ParseOwnCopy(data, shorter));
  }
  CheckFrequency(frequency);

  if (size >= sizeof(int32_t)) {
    int32_t raw;
    std::memcpy(&raw, data, sizeof raw);
    CheckFrequency(raw);
  }
  return 0;
}
