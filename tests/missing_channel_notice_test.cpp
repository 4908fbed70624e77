// The rule for chat notices about a frequency without a channel: once per
// frequency and connection, never more than three in ten seconds.
#include "udpserver/missing_channel_notice.h"

#include <gtest/gtest.h>

#include <chrono>
#include <vector>

namespace {

using Verdict = MissingChannelNotices::Verdict;
using std::chrono::milliseconds;
using std::chrono::seconds;

TEST(MissingChannelNotice, OncePerFrequencyAndConnectionAtMostThreeInTenSeconds) {
  struct Step {
    const char* what;
    milliseconds at;
    uint64_t build;
    int32_t frequency;
    Verdict verdict;
  };
  const std::vector<Step> steps = {
      {"a missing frequency", milliseconds(0), 1, 262000, Verdict::kShow},
      {"its resend", milliseconds(2000), 1, 262000, Verdict::kShownBefore},
      {"another one", milliseconds(2100), 1, 127525, Verdict::kShow},
      {"a third", milliseconds(2200), 1, 30001, Verdict::kShow},
      {"a fourth within 10 s of the first", milliseconds(9999), 1, 399999, Verdict::kTooMany},
      {"it again, 10 s after the first", milliseconds(10000), 1, 399999, Verdict::kShow},
      {"a fifth, within 10 s of the second", milliseconds(10001), 1, 251000, Verdict::kTooMany},
      {"a shown one after a reconnection", milliseconds(30000), 2, 262000, Verdict::kShow},
      {"its resend there", milliseconds(30001), 2, 262000, Verdict::kShownBefore},
  };
  MissingChannelNotices notices;
  const auto start = MissingChannelNotices::Clock::now();
  for (const Step& step : steps) {
    EXPECT_EQ(notices.Decide(step.build, step.frequency, start + step.at), step.verdict)
        << step.what;
  }
  EXPECT_EQ(notices.dropped(), 2u);
}

TEST(MissingChannelNotice, TheWindowOutlivesAReconnection) {
  MissingChannelNotices notices;
  const auto start = MissingChannelNotices::Clock::now();
  for (int32_t frequency : {262000, 263000, 264000}) {
    EXPECT_EQ(notices.Decide(1, frequency, start), Verdict::kShow);
  }
  EXPECT_EQ(notices.Decide(2, 265000, start + seconds(1)), Verdict::kTooMany);
}

TEST(MissingChannelNotice, TextNamesTheFrequencyTheExactChannelAndTheTool) {
  EXPECT_EQ(MissingChannelNoticeText(262000, "Fr\xC3\xA9quences 262"),
            "ZOVIK: no channel for 262.000 MHz on this server. Ask a server admin to create one "
            "named exactly \"Fr\xC3\xA9quences 262\" (zovik_channels prints the names a whole "
            "band needs).");
  EXPECT_NE(MissingChannelNoticeText(30005, "30.0").find(" 30.005 MHz "), std::string::npos);
}

}  // namespace
