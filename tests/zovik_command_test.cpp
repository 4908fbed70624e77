#include "commands/zovik_command.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const std::string kE = "Fr\xC3\xA9quences ";
const std::string kBand = "30.001\xE2\x80\x93" "399.999 MHz";

// The server of these tests holds two of the frequency channels.
bool OnServer(std::string_view name) {
  static const std::set<std::string, std::less<>> names = {kE + "251", "127.525"};
  return names.count(name) != 0;
}

std::string NotUnderstood(const std::string& words) {
  std::string line = "not understood: ";
  line += words;
  return line + "; nothing done. /zovik help tells what to type.";
}

std::string Usage() { return AnswerZovikCommand("help", OnServer).replies.at(0); }

struct Created {
  std::string name;
  std::vector<int32_t> frequencies;
};

struct CommandCase {
  const char* text;
  std::vector<std::string> replies;  // "USAGE" stands for the usage line
  std::vector<Created> creations;
  bool here;
};

TEST(ZovikCommand, AnswersEachCommandLine) {
  const CommandCase cases[] = {
      {"", {"USAGE"}, {}, false},
      {"  HELP  ", {"USAGE"}, {}, false},
      {"fly 251", {"no command \"fly\".", "USAGE"}, {}, false},
      {"create", {"\"create\" needs at least one frequency.", "USAGE"}, {}, false},
      // A mistyped option would put the channels elsewhere, a chat program
      // turns "--" into a dash: no word of the line is acted upon.
      {"create --hree 243", {NotUnderstood("\"--hree\"")}, {}, false},
      {"check --here 243", {NotUnderstood("\"--here\"")}, {}, false},
      {"create \xE2\x80\x94here 251", {NotUnderstood("\"\xE2\x80\x94here\"")}, {}, false},
      {"create \xE2\x80\x93here 251 243", {NotUnderstood("\"\xE2\x80\x93here\"")}, {}, false},
      {"create here 243", {NotUnderstood("\"here\"")}, {}, false},
      // MHz whole or with a point, kHz; names on the server are left alone.
      {"create 243 127.525 30.001",
       {"\"127.525\" (127.525 MHz) is already there, left as it is."},
       {{kE + "243", {243000}}, {kE + "30", {30001}}}, false},
      // Frequencies sharing a name make one channel; one typed twice counts once.
      {"Create 251.5 243 251505 243.050 243000", {},
       {{"251.5", {251500, 251505}}, {kE + "243", {243000, 243050}}}, false},
      // Every word not understood is named in one line; list separators
      // pasted with the words do no harm, a decimal comma is not understood.
      {"create --here 12x, 400; 99999999999 -5 127,525 124.05, 251",
       {NotUnderstood("\"12x\", \"-5\", \"127,525\"")}, {}, false},
      {"create 29.999 x", {NotUnderstood("\"x\"")}, {}, false},
      // A frequency outside the band is told; the others are still created.
      {"create --here 400; 99999999999 124.05, 29.999 251",
       {"\"400\" (400.000 MHz) is outside " + kBand + ": no channel for it.",
        "\"99999999999\" is outside " + kBand + ": no channel for it.",
        "\"29.999\" (29.999 MHz) is outside " + kBand + ": no channel for it.",
        "\"" + kE + "251\" (251.000 MHz) is already there, left as it is."},
       {{kE + "124", {124050}}}, true},
      {"check 251 127.525 243 118.1 118105",
       {"\"" + kE + "251\" (251.000 MHz) is there.",
        "\"127.525\" (127.525 MHz) is there.",
        "\"" + kE + "243\" (243.000 MHz) is missing.",
        "\"118.1\" (118.100, 118.105 MHz) is missing.",
        "to create the missing ones: /zovik create 243.000 118.100"},
       {}, false},
  };
  const std::string usage = Usage();
  for (const CommandCase& c : cases) {
    SCOPED_TRACE(c.text);
    const ZovikCommandAnswer answer = AnswerZovikCommand(c.text, OnServer);
    std::vector<std::string> replies = c.replies;
    for (std::string& reply : replies) {
      if (reply == "USAGE") reply = usage;
    }
    EXPECT_EQ(answer.replies, replies);
    ASSERT_EQ(answer.creations.size(), c.creations.size());
    for (size_t i = 0; i < c.creations.size(); ++i) {
      EXPECT_EQ(answer.creations[i].channel.name, c.creations[i].name);
      EXPECT_EQ(answer.creations[i].channel.frequencies, c.creations[i].frequencies);
      EXPECT_EQ(answer.creations[i].underOwnChannel, c.here);
    }
  }
}

// Frequencies "262.000", "262.005", ... as typed words.
std::string Frequencies(int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    text += ' ';
    text += std::to_string(262000 + 5 * i);
  }
  return text;
}

TEST(ZovikCommand, RefusesAnOverlongLineWhole) {
  const std::string tooMany = "more than 64 frequencies in one command: nothing done.";
  const std::string tooLong = "the command is longer than 1024 bytes: nothing done.";
  struct LengthCase {
    std::string text;
    std::vector<std::string> replies;
    size_t creations;
  };
  const LengthCase cases[] = {
      {"create" + Frequencies(64), {}, 42},
      {"create" + Frequencies(65), {tooMany}, 0},
      {"check" + Frequencies(65), {tooMany}, 0},
      {"create 243" + std::string(1024 - 10, ' '), {}, 1},
      {"create 243" + std::string(1025 - 10, ' '), {tooLong}, 0},
  };
  for (const LengthCase& c : cases) {
    SCOPED_TRACE(c.text.substr(0, 40));
    const ZovikCommandAnswer answer = AnswerZovikCommand(c.text, OnServer);
    EXPECT_EQ(answer.replies, c.replies);
    EXPECT_EQ(answer.creations.size(), c.creations);
  }
}

struct AnswerCase {
  uint32_t error;
  const char* message;
  bool here;
  std::string reply;
};

TEST(ZovikCommand, TellsTheServersAnswerToEachCreation) {
  const std::string channel = "\"" + kE + "243\" (243.000, 243.050 MHz)";
  const AnswerCase cases[] = {
      {0, "ok", false, "created " + channel + " at the top level."},
      {0, "ok", true, "created " + channel + " under your channel."},
      {0x0303, "channel name is already in use", false,
       channel + " refused: channel name is already in use."},
      {0x0a08, "insufficient client permissions", false,
       channel + " refused: insufficient client permissions; you need b_channel_create_permanent."},
      {0x0a08, "insufficient client permissions", true,
       channel + " refused: insufficient client permissions; you need "
       "b_channel_create_permanent and b_channel_create_child."},
      {0x0605, "", false, channel + " refused: error 1541."},
  };
  for (const AnswerCase& c : cases) {
    const ChannelCreation creation{{kE + "243", {243000, 243050}}, c.here};
    EXPECT_EQ(CreationAnswerReply(creation, c.error, c.message), c.reply);
  }
}

}  // namespace
