#include "udpserver/missing_channel_notice.h"

#include <cstdio>

#include "host/host_functions.h"

MissingChannelNotices::Verdict MissingChannelNotices::Decide(uint64_t build, int32_t frequency,
                                                             Clock::time_point now) {
  // The window is kept across connections: a flood must not get through by
  // way of a reconnection.
  if (build != build_) {
    shown_.reset();
    build_ = build;
  }
  const size_t index = static_cast<size_t>(frequency - kLowestFrequency);
  if (shown_.test(index)) return Verdict::kShownBefore;
  if (recentCount_ == kMostPerWindow && now - recent_[next_] < kWindow) {
    ++dropped_;
    return Verdict::kTooMany;
  }
  shown_.set(index);
  recent_[next_] = now;
  next_ = (next_ + 1) % kMostPerWindow;
  if (recentCount_ < kMostPerWindow) ++recentCount_;
  return Verdict::kShow;
}

void MissingChannelNotices::Reset() {
  build_ = 0;
  shown_.reset();
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
