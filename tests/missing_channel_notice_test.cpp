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
  enum class Then { kPrinted, kPrintFails, kForget2, kForget1 };
  struct Step {
    const char* what;
    milliseconds at;
    uint64_t connection;
    int32_t frequency;
    Verdict verdict;
    Then then = Then::kPrinted;
  };
  const std::vector<Step> steps = {
      {"a missing frequency", milliseconds(0), 1, 262000, Verdict::kShow},
      {"its resend", milliseconds(2000), 1, 262000, Verdict::kShownBefore},
      {"another one, not printed", milliseconds(2050), 1, 127525, Verdict::kShow,
       Then::kPrintFails},
      {"it again: still to be told", milliseconds(2100), 1, 127525, Verdict::kShow},
      {"a third", milliseconds(2200), 1, 30001, Verdict::kShow},
      {"a fourth within 10 s of the first", milliseconds(9999), 1, 399999, Verdict::kTooMany},
      {"it again, 10 s after the first", milliseconds(10000), 1, 399999, Verdict::kShow},
      {"a fifth, within 10 s of the second", milliseconds(10001), 1, 251000, Verdict::kTooMany},
      {"the same on another connection, that then reconnects", milliseconds(30000), 2, 262000,
       Verdict::kShow, Then::kForget2},
      {"another tab's reconnection repeats nothing", milliseconds(30001), 1, 262000,
       Verdict::kShownBefore, Then::kForget1},
      {"a shown one after its own reconnection", milliseconds(30002), 1, 262000, Verdict::kShow},
      {"its resend there", milliseconds(30003), 1, 262000, Verdict::kShownBefore},
  };
  MissingChannelNotices notices;
  const auto start = MissingChannelNotices::Clock::now();
  for (const Step& step : steps) {
    const auto now = start + step.at;
    EXPECT_EQ(notices.Decide(step.connection, step.frequency, now), step.verdict) << step.what;
    if (step.verdict == Verdict::kShow && step.then != Then::kPrintFails) {
      notices.Shown(step.connection, step.frequency, now);
    }
    if (step.then == Then::kForget2) notices.ForgetConnection(2);
    if (step.then == Then::kForget1) notices.ForgetConnection(1);
  }
  EXPECT_EQ(notices.dropped(), 2u);
}

TEST(MissingChannelNotice, TheWindowOutlivesAReconnection) {
  MissingChannelNotices notices;
  const auto start = MissingChannelNotices::Clock::now();
  for (int32_t frequency : {262000, 263000, 264000}) {
    EXPECT_EQ(notices.Decide(1, frequency, start), Verdict::kShow);
    notices.Shown(1, frequency, start);
  }
  notices.ForgetConnection(1);
  EXPECT_EQ(notices.Decide(1, 265000, start + seconds(1)), Verdict::kTooMany);
}

TEST(MissingChannelNotice, TextNamesTheFrequencyTheExactChannelAndTheTool) {
  EXPECT_EQ(MissingChannelNoticeText(262000, "Fr\xC3\xA9quences 262"),
            "ZOVIK: no channel for 262.000 MHz on this server. Ask a server admin to create one "
            "named exactly \"Fr\xC3\xA9quences 262\" (zovik_channels prints the names a whole "
            "band needs).");
  EXPECT_NE(MissingChannelNoticeText(30005, "30.0").find(" 30.005 MHz "), std::string::npos);
}

}  // namespace
