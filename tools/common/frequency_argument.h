// Frequencies typed by people: "251000" (kHz, as on the wire) or "251.000" /
// "251.5" (MHz, as on the radio).
#pragma once

#include <cstdint>
#include <string>

// The kHz text of `argument`, or false when it is neither form.
bool FrequencyArgumentToKilohertzText(const std::string& argument, std::string* kilohertzText);

// The frequency in kHz, or false when the argument is not a frequency or
// does not fit.
bool FrequencyArgumentToKilohertz(const std::string& argument, int32_t* kilohertz);
