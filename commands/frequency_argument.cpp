#include "commands/frequency_argument.h"

#include <cstdio>

namespace {

bool AllDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

bool IsBelowKilohertzArguments(std::string_view digits) {
  const size_t first = digits.find_first_not_of('0');
  if (first == std::string_view::npos) return true;
  digits.remove_prefix(first);
  if (digits.size() > 5) return false;
  int32_t value = 0;
  for (const char digit : digits) value = value * 10 + (digit - '0');
  return value < kLowestKilohertzArgument;
}

}  // namespace

bool FrequencyArgumentToKilohertzText(std::string_view argument, std::string* kilohertzText) {
  const size_t point = argument.find('.');
  if (point == std::string_view::npos) {
    if (!AllDigits(argument)) return false;
    *kilohertzText = argument;
    if (IsBelowKilohertzArguments(argument)) *kilohertzText += "000";
    return true;
  }
  const std::string_view whole = argument.substr(0, point);
  const std::string_view fraction = argument.substr(point + 1);
  if (!AllDigits(whole) || fraction.size() > 3 || (!fraction.empty() && !AllDigits(fraction))) {
    return false;
  }
  std::string text(whole);
  text += fraction;
  text.resize(whole.size() + 3, '0');
  *kilohertzText = std::move(text);
  return true;
}

bool FrequencyArgumentToKilohertz(std::string_view argument, int32_t* kilohertz) {
  std::string text;
  if (!FrequencyArgumentToKilohertzText(argument, &text)) return false;
  const size_t first = text.find_first_not_of('0');
  if (first == std::string::npos) {
    *kilohertz = 0;
    return true;
  }
  if (text.size() - first > 9) return false;
  *kilohertz = std::stoi(text.substr(first));
  return true;
}

std::string MegahertzText(int32_t kilohertz) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03d", kilohertz / 1000, kilohertz % 1000);
  return text;
}
