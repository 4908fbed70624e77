#include "udpserver/frequency_rule.h"

#include <cstdio>
#include <cstring>

#include "common/decimal_text.h"

int32_t ParseFrequency(const char* text, size_t length) {
  return ParseDecimalClamped(text, length);
}

bool IsLeaveAircraft(const char* text, size_t length) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  size_t i = 0;
  while (i < length && blank(text[i])) ++i;
  if (i == length || text[i] != '0') return false;
  ++i;
  // A sender may end its text with a NUL, as it may end a frequency.
  while (i < length && (blank(text[i]) || text[i] == '\0')) ++i;
  return i == length;
}

bool IsAcceptedFrequency(int32_t frequency) {
  return static_cast<uint32_t>(frequency) - static_cast<uint32_t>(kLowestFrequency) <=
         static_cast<uint32_t>(kHighestFrequency - kLowestFrequency);
}

ChannelName FrequencyToChannelName(int32_t frequency) {
  ChannelName name;
  if (!IsAcceptedFrequency(frequency)) return name;

  const int megahertz = frequency / 1000;
  const int kilohertz = frequency % 1000;
  const int d1 = kilohertz / 100;
  const int d2 = kilohertz / 10 % 10;

  int written;
  if (d1 == 0) {
    // Whole-megahertz channel. The pattern is formatted with two placeholder
    // bytes that become the UTF-8 "é" (C3 A9), so the name's bytes do not
    // depend on how this file or a locale encodes text.
    written = std::snprintf(name.bytes, sizeof name.bytes, "Fr__quences %d", megahertz);
    name.bytes[2] = static_cast<char>(0xC3);
    name.bytes[3] = static_cast<char>(0xA9);
  } else if (d2 == 0) {
    written = std::snprintf(name.bytes, sizeof name.bytes, "%d.%d", megahertz, d1);
  } else {
    written = std::snprintf(name.bytes, sizeof name.bytes, "%d.%03d", megahertz, kilohertz);
  }
  name.length = written > 0 ? static_cast<size_t>(written) : 0;
  return name;
}
