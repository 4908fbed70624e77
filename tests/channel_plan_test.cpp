#include "tools/channel_plan/channel_plan.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "tools/common/frequency_argument.h"
#include "udpserver/frequency_rule.h"

namespace {

const std::string kE = "Fr\xC3\xA9quences ";

// The plan over the whole band, 1 kHz apart, names every accepted frequency
// exactly as the plugin will look it up.
TEST(ChannelPlan, NamesAreThePluginsOwnForEveryAcceptedFrequency) {
  const auto plan = BuildChannelPlan(0, 500000, 1);
  size_t frequencies = 0;
  for (const ChannelPlanEntry& entry : plan) {
    for (int32_t frequency : entry.frequencies) {
      ASSERT_EQ(entry.name, std::string(FrequencyToChannelName(frequency).view())) << frequency;
      ++frequencies;
    }
  }
  EXPECT_EQ(frequencies, static_cast<size_t>(kHighestFrequency - kLowestFrequency + 1));
}

TEST(ChannelPlan, UhfBandEvery25KilohertzSharesWholeMegahertzNames) {
  const auto plan = BuildChannelPlan(225000, 399975, 25);
  ASSERT_FALSE(plan.empty());
  EXPECT_EQ(plan.front().name, kE + "225");
  EXPECT_EQ(plan.front().frequencies, (std::vector<int32_t>{225000, 225025, 225050, 225075}));
  EXPECT_EQ(plan[1].name, "225.1");
  EXPECT_EQ(plan[1].frequencies, std::vector<int32_t>{225100});
  EXPECT_EQ(plan[2].name, "225.125");
  EXPECT_EQ(plan.back().name, "399.975");
  // Per MHz: one shared name and 36 single ones (100..975 kHz in 25 kHz steps).
  EXPECT_EQ(plan.size(), 175u * 37u);
}

TEST(ChannelPlan, RefusedOrEmptyBandsGiveNoNames) {
  EXPECT_TRUE(BuildChannelPlan(400000, 500000, 25).empty());
  EXPECT_TRUE(BuildChannelPlan(251000, 250000, 25).empty());
  EXPECT_TRUE(BuildChannelPlan(251000, 252000, 0).empty());
  // The step may run past the end of the signed range without wrapping.
  EXPECT_EQ(BuildChannelPlan(399999, INT32_MAX, INT32_MAX).size(), 1u);
}

struct ArgumentCase {
  const char* argument;
  bool ok;
  int32_t kilohertz;
};

TEST(FrequencyArgument, ReadsMegahertzAndKilohertz) {
  const ArgumentCase cases[] = {
      {"251000", true, 251000}, {"251.000", true, 251000}, {"251.5", true, 251500},
      {"127.525", true, 127525}, {"30.001", true, 30001},  {"251.", true, 251000},
      {"251.0001", false, 0},    {".5", false, 0},          {"abc", false, 0},
      {"-251000", false, 0},     {"", false, 0},            {"99999999999", false, 0},
  };
  for (const ArgumentCase& c : cases) {
    int32_t kilohertz = 0;
    EXPECT_EQ(FrequencyArgumentToKilohertz(c.argument, &kilohertz), c.ok) << c.argument;
    if (c.ok) {
      EXPECT_EQ(kilohertz, c.kilohertz) << c.argument;
    }
  }
}

}  // namespace
