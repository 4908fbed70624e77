// Frequencies gathered under the channel the plugin moves to for them: what
// an admin creates is one channel per name, however many frequencies share it.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

struct ChannelFrequencies {
  std::string name;                  // UTF-8, exactly as the channel must be named
  std::vector<int32_t> frequencies;  // kHz, each once, in the order given
};

// Names in the order of their first frequency.
class ChannelFrequencyList {
 public:
  // An accepted frequency joins the entry of its channel name; any other is
  // left out, and so is one already there.
  void Add(int32_t kilohertz);

  const std::vector<ChannelFrequencies>& entries() const { return entries_; }
  std::vector<ChannelFrequencies> Take() { return std::move(entries_); }

 private:
  std::vector<ChannelFrequencies> entries_;
  std::unordered_map<std::string, size_t> entryOfName_;
};
