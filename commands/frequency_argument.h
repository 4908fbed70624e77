// Frequencies as people type them, on a command line or in the client's
// chat: "251" or "127.525" (MHz, as on the radio and the comms card) or
// "243500" (kHz, as on the wire).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Whole numbers below this are megahertz: no frequency the plugin follows is
// that low in kHz, and an admin types "251" for 251 MHz.
constexpr int32_t kLowestKilohertzArgument = 30001;

// The kHz text of `argument`, or false when it is none of the forms. The
// digits are kept as typed ("0251000" stays so), as a datagram may carry them.
bool FrequencyArgumentToKilohertzText(std::string_view argument, std::string* kilohertzText);

// The frequency in kHz, or false when the argument is not a frequency or does
// not fit in 32 bits.
bool FrequencyArgumentToKilohertz(std::string_view argument, int32_t* kilohertz);

// "251.025" for 251025: how frequencies are shown to people.
std::string MegahertzText(int32_t kilohertz);
