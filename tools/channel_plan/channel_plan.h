// The channels a server needs for a band: the plugin's own naming rule
// applied to every frequency of the band, each name once.
#pragma once

#include <cstdint>
#include <vector>

#include "commands/channel_frequencies.h"

// Frequencies from..to (kHz, inclusive) every `step` kHz, keeping accepted
// ones. Entries come in the order of their first frequency. Empty when the
// arguments make no band.
std::vector<ChannelFrequencies> BuildChannelPlan(int32_t from, int32_t to, int32_t step);
