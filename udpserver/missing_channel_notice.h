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
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "udpserver/frequency_rule.h"

class MissingChannelNotices {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int kMostPerWindow = 3;
  static constexpr Clock::duration kWindow = std::chrono::seconds(10);

  enum class Verdict { kShow, kShownBefore, kTooMany };

  // Decide, Shown, dropped and Reset: one thread at a time (the listener, or
  // the client's thread on resume, under the listener's switch lock).

  // Whether to show the notice for accepted `frequency`, found without a
  // channel at `now` in the store of connection `connection`. A notice
  // dropped as one too many may be shown when it next comes, once the window
  // allows. kShow counts nothing: Shown does, once the line is printed.
  Verdict Decide(uint64_t connection, int32_t frequency, Clock::time_point now);
  // The notice Decide allowed was printed.
  void Shown(uint64_t connection, int32_t frequency, Clock::time_point now);

  // Any thread: `connection` was lost or made again, perhaps to another
  // server: each of its frequencies may be told again. Other connections
  // keep what they were told, so a tab coming and going elsewhere does not
  // repeat them.
  void ForgetConnection(uint64_t connection);

  // Notices dropped as too many since the last Reset.
  uint64_t dropped() const { return dropped_; }
  void Reset();

 private:
  using Frequencies = std::bitset<kHighestFrequency - kLowestFrequency + 1>;

  std::mutex shownLock_;  // guards shown_, the only field other threads touch
  std::map<uint64_t, std::unique_ptr<Frequencies>> shown_;
  // When the last notices were shown, oldest at next_ once all are set.
  std::array<Clock::time_point, kMostPerWindow> recent_{};
  int recentCount_ = 0;
  int next_ = 0;
  uint64_t dropped_ = 0;
};

// The chat line, UTF-8: the frequency in MHz, the channel name the plugin
// looks for, and who can create it.
std::string MissingChannelNoticeText(int32_t frequency, std::string_view channelName);
