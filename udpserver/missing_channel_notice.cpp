#include "udpserver/missing_channel_notice.h"

#include <cstdio>

#include "host/host_functions.h"

MissingChannelNotices::Verdict MissingChannelNotices::Decide(uint64_t connection,
                                                             int32_t frequency,
                                                             Clock::time_point now) {
  const size_t index = static_cast<size_t>(frequency - kLowestFrequency);
  {
    const std::lock_guard<std::mutex> guard(shownLock_);
    const auto found = shown_.find(connection);
    if (found != shown_.end() && found->second->test(index)) return Verdict::kShownBefore;
  }
  // The window is kept across connections: a flood must not get through by
  // way of a reconnection.
  if (recentCount_ == kMostPerWindow && now - recent_[next_] < kWindow) {
    ++dropped_;
    return Verdict::kTooMany;
  }
  return Verdict::kShow;
}

void MissingChannelNotices::Shown(uint64_t connection, int32_t frequency,
                                  Clock::time_point now) {
  {
    const std::lock_guard<std::mutex> guard(shownLock_);
    std::unique_ptr<Frequencies>& frequencies = shown_[connection];
    if (frequencies == nullptr) frequencies = std::make_unique<Frequencies>();
    frequencies->set(static_cast<size_t>(frequency - kLowestFrequency));
  }
  recent_[next_] = now;
  next_ = (next_ + 1) % kMostPerWindow;
  if (recentCount_ < kMostPerWindow) ++recentCount_;
}

void MissingChannelNotices::ForgetConnection(uint64_t connection) {
  const std::lock_guard<std::mutex> guard(shownLock_);
  shown_.erase(connection);
}

void MissingChannelNotices::Reset() {
  {
    const std::lock_guard<std::mutex> guard(shownLock_);
    shown_.clear();
  }
  recent_ = {};
  recentCount_ = 0;
  next_ = 0;
  dropped_ = 0;
}

std::string MissingChannelNoticeText(int32_t frequency, std::string_view channelName) {
  char megahertz[32];
  std::snprintf(megahertz, sizeof megahertz, "%d.%03d MHz", static_cast<int>(frequency / 1000),
                static_cast<int>(frequency % 1000));
  std::string text = "no channel for ";
  text += megahertz;
  text += " on this server. Ask a server admin to create one named exactly \"";
  text += channelName;
  text += "\" (zovik_channels prints the names a whole band needs).";
  return PluginChatLine(text);
}
