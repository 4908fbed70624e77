#include "udpserver/frequency_rule.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

namespace {

int32_t Parse(const std::string& text) { return ParseFrequency(text.data(), text.size()); }

const std::string kE = "Fr\xC3\xA9quences ";

struct NameCase {
  const char* datagram;
  std::string name;
};

TEST(FrequencyRule, NamesTheChannelOfEachAcceptedFrequency) {
  const NameCase cases[] = {
      {"251000", kE + "251"}, {"251500", "251.5"},      {"251250", "251.250"},
      {"251105", "251.1"},    {"127525", "127.525"},    {"124050", kE + "124"},
      {"30001", kE + "30"},   {"399999", "399.999"},    {"251010", kE + "251"}, {"251910", "251.910"},
      {"251001", kE + "251"}, {"251901", "251.9"},  {"100000", kE + "100"},   {"251900", "251.9"},
      {"099999", "99.999"},   {"251009", kE + "251"},
  };
  for (const NameCase& c : cases) {
    const int32_t frequency = Parse(c.datagram);
    ASSERT_TRUE(IsAcceptedFrequency(frequency)) << c.datagram;
    const ChannelName name = FrequencyToChannelName(frequency);
    EXPECT_EQ(std::string(name.view()), c.name) << c.datagram;
    EXPECT_EQ(std::string(name.c_str()), c.name) << c.datagram;
  }
}

TEST(FrequencyRule, WholeMegahertzNameCarriesUtf8EAcute) {
  const ChannelName name = FrequencyToChannelName(251000);
  const std::string expected = {'F', 'r', '\xC3', '\xA9', 'q', 'u', 'e', 'n',
                                'c', 'e', 's', ' ',    '2',    '5', '1'};
  EXPECT_EQ(std::string(name.view()), expected);
  EXPECT_EQ(name.length, 15u);
}

struct ParseCase {
  std::string text;
  int32_t frequency;
  bool accepted;
};

TEST(FrequencyRule, ReadsTextLikeAtoiAndRefusesOutOfRange) {
  constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
  const ParseCase cases[] = {
      {"29999", 29999, false},
      {"30000", 30000, false},
      {"30001", 30001, true},
      {"399999", 399999, true},
      {"400000", 400000, false},
      {"-251000", -251000, false},
      {"abc", 0, false},
      {"", 0, false},
      {"251.000", 251, false},
      {" 251000", 251000, true},
      {"\t\r\n\v\f 251000", 251000, true},
      {"+251000", 251000, true},
      {"251000\n", 251000, true},
      {"251000abc", 251000, true},
      {"+-251000", 0, false},
      {"- 251000", 0, false},
      {"0000251000", 251000, true},
      // The Windows runtime's atoi wraps this one to 251000.
      {"4295218296", kMax, false},
      {"2147483647", kMax, false},
      {"2147483648", kMax, false},
      {"-2147483648", kMin, false},
      {"-2147483649", kMin, false},
      {"-4294716296", kMin, false},
      {std::string(5000, '9'), kMax, false},
      {"-" + std::string(5000, '9'), kMin, false},
  };
  for (const ParseCase& c : cases) {
    EXPECT_EQ(Parse(c.text), c.frequency) << '"' << c.text << '"';
    EXPECT_EQ(IsAcceptedFrequency(Parse(c.text)), c.accepted) << '"' << c.text << '"';
  }
}

TEST(FrequencyRule, ReadsOnlyTheBytesItIsGiven) {
  const char text[] = "2510009";
  EXPECT_EQ(ParseFrequency(text, 6), 251000);
  EXPECT_EQ(ParseFrequency(text, 3), 251);
  EXPECT_EQ(ParseFrequency(text, 0), 0);
  // Digits after a NUL belong to nothing.
  const char withNul[] = {'2', '5', '1', '0', '0', '0', '\0', '3', '0', '0', '0', '1'};
  EXPECT_EQ(ParseFrequency(withNul, sizeof withNul), 251000);
  // A text of blanks and a sign with nothing after them ends cleanly.
  const char blanks[] = {' ', ' ', '-'};
  EXPECT_EQ(ParseFrequency(blanks, sizeof blanks), 0);
}

TEST(FrequencyRule, AcceptsExactlyTheBand) {
  const int32_t refused[] = {std::numeric_limits<int32_t>::min(), -30001, -1, 0, 30000,
                             400000, std::numeric_limits<int32_t>::max()};
  for (int32_t frequency : refused) {
    EXPECT_FALSE(IsAcceptedFrequency(frequency)) << frequency;
    EXPECT_EQ(FrequencyToChannelName(frequency).length, 0u) << frequency;
  }
}

// Every accepted frequency: a name of at most 15 bytes whose text follows
// the rule, and the round trip through the datagram text.
TEST(FrequencyRule, EveryAcceptedFrequencyHasAShortWellFormedName) {
  for (int32_t frequency = kLowestFrequency; frequency <= kHighestFrequency; ++frequency) {
    const std::string datagram = std::to_string(frequency);
    ASSERT_EQ(Parse(datagram), frequency);
    const ChannelName name = FrequencyToChannelName(frequency);
    ASSERT_GT(name.length, 0u) << frequency;
    ASSERT_LE(name.length, kMaxChannelNameBytes) << frequency;
    ASSERT_EQ(name.bytes[name.length], '\0') << frequency;
    const std::string megahertz = std::to_string(frequency / 1000);
    const std::string digits = datagram.substr(datagram.size() - 3);
    std::string expected;
    if (digits[0] == '0') {
      expected = kE + megahertz;
    } else if (digits[1] == '0') {
      expected = megahertz + "." + digits[0];
    } else {
      expected = megahertz + "." + digits;
    }
    ASSERT_EQ(std::string(name.view()), expected) << frequency;
  }
}

}  // namespace

// The game side's "no aircraft" is "0" itself; text that only reads as 0,
// or a 0 that starts a number, is not.
TEST(FrequencyRule, LeavingTheAircraftIsZeroAlone) {
  const struct {
    std::string text;
    bool leaves;
  } cases[] = {
      {"0", true},          {"0\n", true},       {" 0\r\n", true}, {std::string("0\0", 2), true},
      {"", false},          {"abc", false},      {"00", false},    {"0251000", false},
      {"-0", false},        {"+0", false},       {"0.0", false},   {std::string("0\0x", 3), false},
      {"30001", false},     {"0 0", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsLeaveAircraft(c.text.data(), c.text.size()), c.leaves) << '"' << c.text << '"';
  }
}
