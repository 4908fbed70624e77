// The channels a server needs for a band: the plugin's own naming rule
// applied to every frequency of the band, each name once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ChannelPlanEntry {
  std::string name;                  // UTF-8, exactly as the channel must be named
  std::vector<int32_t> frequencies;  // kHz, every frequency of the band it serves
};

// Frequencies from..to (kHz, inclusive) every `step` kHz, keeping accepted
// ones. Entries come in the order of their first frequency. Empty when the
// arguments make no band.
std::vector<ChannelPlanEntry> BuildChannelPlan(int32_t from, int32_t to, int32_t step);

// "251.025" for 251025.
std::string MegahertzText(int32_t kilohertz);
