#include "tools/channel_plan/channel_plan.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "commands/frequency_argument.h"
#include "tools/channel_plan/serverquery.h"
#include "udpserver/frequency_rule.h"

namespace {

const std::string kE = "Fr\xC3\xA9quences ";

struct PlanCase {
  int32_t from, to, step;
  std::vector<ChannelFrequencies> plan;
};

// Small bands across the naming rule's edges, each plan written out by hand.
TEST(ChannelPlan, SmallBandsGiveTheseNames) {
  const PlanCase cases[] = {
      // The lowest accepted frequency; below it nothing.
      {29990, 30001, 1, {{kE + "30", {30001}}}},
      // Hundreds digit 0: whole MHz; tens 0: one decimal, the units digit
      // with it; otherwise three decimals.
      {251080, 251125, 5,
       {{kE + "251", {251080, 251085, 251090, 251095}},
        {"251.1", {251100, 251105}},
        {"251.110", {251110}},
        {"251.115", {251115}},
        {"251.120", {251120}},
        {"251.125", {251125}}}},
      // Across a megahertz; a whole-MHz name gathers every frequency it serves.
      {124950, 125100, 25,
       {{"124.950", {124950}},
        {"124.975", {124975}},
        {kE + "125", {125000, 125025, 125050, 125075}},
        {"125.1", {125100}}}},
      // The highest accepted frequency; above it nothing.
      {399990, 400005, 9, {{"399.990", {399990}}, {"399.999", {399999}}}},
  };
  for (const PlanCase& c : cases) {
    SCOPED_TRACE(c.from);
    const std::vector<ChannelFrequencies> plan = BuildChannelPlan(c.from, c.to, c.step);
    ASSERT_EQ(plan.size(), c.plan.size());
    for (size_t i = 0; i < plan.size(); ++i) {
      EXPECT_EQ(plan[i].name, c.plan[i].name);
      EXPECT_EQ(plan[i].frequencies, c.plan[i].frequencies) << c.plan[i].name;
    }
  }
}

// Over the whole band, 1 kHz apart, every accepted frequency is served once.
TEST(ChannelPlan, EveryAcceptedFrequencyIsServedOnce) {
  size_t frequencies = 0;
  for (const ChannelFrequencies& entry : BuildChannelPlan(0, 500000, 1)) {
    frequencies += entry.frequencies.size();
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
      {"1.2.3", false, 0},       {"251.-5", false, 0},      {"127,525", false, 0},
      // A whole number below 30001 is MHz.
      {"251", true, 251000},     {"0251", true, 251000},    {"30", true, 30000},
      {"30000", true, 30000000}, {"30001", true, 30001},    {"0", true, 0},
  };
  for (const ArgumentCase& c : cases) {
    int32_t kilohertz = 0;
    EXPECT_EQ(FrequencyArgumentToKilohertz(c.argument, &kilohertz), c.ok) << c.argument;
    if (c.ok) {
      EXPECT_EQ(kilohertz, c.kilohertz) << c.argument;
    }
  }
}

TEST(FrequencyArgument, KeepsTheDigitsAsTypedForTheWire) {
  std::string text;
  ASSERT_TRUE(FrequencyArgumentToKilohertzText("0251", &text));
  EXPECT_EQ(text, "0251000");
  ASSERT_TRUE(FrequencyArgumentToKilohertzText("00251000", &text));
  EXPECT_EQ(text, "00251000");
}

struct EscapeCase {
  std::string value;
  std::string escaped;
};

TEST(ServerQuery, EscapesWhatTheQueryInterfaceReadsAsSyntax) {
  const EscapeCase cases[] = {
      {"127.525", "127.525"},
      {kE + "251", "Fr\xC3\xA9quences\\s251"},
      {"a/b|c\\d", "a\\/b\\pc\\\\d"},
      {"\a\b\f\n\r\t\v", "\\a\\b\\f\\n\\r\\t\\v"},
      {"\xC3\xA9\xE2\x80\x93\x7F\x01", "\xC3\xA9\xE2\x80\x93\x7F\x01"},
      {"", ""},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(ServerQueryEscape(c.value), c.escaped) << c.value;
  }
  EXPECT_EQ(ChannelCreateCommand(kE + "251"),
            "channelcreate channel_name=Fr\xC3\xA9quences\\s251 channel_flag_permanent=1");
  EXPECT_EQ(ChannelCreateCommand("127.525"),
            "channelcreate channel_name=127.525 channel_flag_permanent=1");
}

}  // namespace
