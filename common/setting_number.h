// A setting's value read as a number, the same way whatever the platform
// keeps it in.
#pragma once

#include <cstdint>

#include "common/decimal_text.h"
#include "platform/platform.h"

// A number as it is, clamped to the signed 32-bit range; text as _wtoi reads
// it ("abc" gives 0); `whenMissing` when there is no value.
inline int32_t SettingNumber(const SettingValue& value, int32_t whenMissing) {
  switch (value.kind) {
    case SettingValue::kNumber:
      if (value.number > INT32_MAX) return INT32_MAX;
      if (value.number < INT32_MIN) return INT32_MIN;
      return static_cast<int32_t>(value.number);
    case SettingValue::kText:
      return ParseDecimalClamped(value.text.data(), value.text.size());
    case SettingValue::kMissing:
      break;
  }
  return whenMissing;
}
