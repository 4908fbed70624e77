#include "commands/channel_frequencies.h"

#include <algorithm>

#include "udpserver/frequency_rule.h"

void ChannelFrequencyList::Add(int32_t kilohertz) {
  if (!IsAcceptedFrequency(kilohertz)) return;
  std::string name(FrequencyToChannelName(kilohertz).view());
  const auto [found, added] = entryOfName_.emplace(name, entries_.size());
  if (added) entries_.push_back({std::move(name), {}});
  std::vector<int32_t>& frequencies = entries_[found->second].frequencies;
  if (std::find(frequencies.begin(), frequencies.end(), kilohertz) == frequencies.end()) {
    frequencies.push_back(kilohertz);
  }
}
