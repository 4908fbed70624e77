// Telling the pilot, in the voice client's chat, that the frequency just
// tuned has no channel on the server, and what to ask the admin for. Anyone
// who can reach the port can send made-up frequencies, so the lines are
// few: one per frequency per connection, at most kMostPerWindow in any
// kWindow, the rest dropped.
#pragma once

#include <array>
#include <bitset>
#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>

#include "udpserver/frequency_rule.h"

class MissingChannelNotices {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kMostPerWindow = 3;
  static constexpr Clock::duration kWindow = std::chrono::seconds(10);

  enum class Verdict { kShow, kShownBefore, kTooMany };

  // Whether to show the notice for accepted `frequency`, found without a
  // channel at `now` in the store of build `build` (a new build is a new
  // connection: every frequency may be told again). kShow counts it as
  // shown; a notice dropped as one too many may be shown when it next
  // comes, once the window allows.
  Verdict Decide(uint64_t build, int32_t frequency, Clock::time_point now);

  // Notices dropped as too many since the last Reset.
  uint64_t dropped() const { return dropped_; }
  void Reset();

 private:
  uint64_t build_ = 0;
  std::bitset<kHighestFrequency - kLowestFrequency + 1> shown_;
  // When the last notices were shown, oldest at next_ once all are set.
  std::array<Clock::time_point, kMostPerWindow> recent_{};
  int recentCount_ = 0;
  int next_ = 0;
  uint64_t dropped_ = 0;
};

// The chat line, UTF-8: the frequency in MHz, the channel name the plugin
// looks for, and who can create it.
std::string MissingChannelNoticeText(int32_t frequency, std::string_view channelName);
