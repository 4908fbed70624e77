#include "tools/common/frequency_argument.h"

bool FrequencyArgumentToKilohertzText(const std::string& argument, std::string* kilohertzText) {
  const size_t point = argument.find('.');
  if (point == std::string::npos) {
    if (argument.empty() || argument.find_first_not_of("0123456789") != std::string::npos) {
      return false;
    }
    *kilohertzText = argument;
    return true;
  }
  const std::string whole = argument.substr(0, point);
  std::string fraction = argument.substr(point + 1);
  if (whole.empty() || fraction.size() > 3 ||
      (whole + fraction).find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  fraction.resize(3, '0');
  *kilohertzText = whole + fraction;
  return true;
}

bool FrequencyArgumentToKilohertz(const std::string& argument, int32_t* kilohertz) {
  std::string text;
  if (!FrequencyArgumentToKilohertzText(argument, &text)) return false;
  const size_t first = text.find_first_not_of('0');
  if (first != std::string::npos && text.size() - first > 9) return false;
  *kilohertz = first == std::string::npos ? 0 : std::stoi(text.substr(first));
  return true;
}
