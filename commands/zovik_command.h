// The /zovik chat command: a server admin names the frequencies of a comms
// card, and the plugin creates, or checks, the channel each one needs. This
// is the whole dialogue but the client: what was typed, which channels to ask
// the server for, and the lines answered in the chat (UTF-8, without the
// plugin's name, which the plugin puts before each line it prints).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "commands/channel_frequencies.h"

// What the admin types after the slash.
constexpr std::string_view kZovikCommandKeyword = "zovik";

// A longer command, or one with more frequencies, is refused whole: no comms
// card needs more, and the queue of one tab stays short.
constexpr size_t kLongestZovikCommand = 1024;
constexpr size_t kMostZovikCommandFrequencies = 64;

// One channel to ask the server for, as a permanent channel: at the top
// level, or under the channel the admin stands in.
struct ChannelCreation {
  ChannelFrequencies channel;
  bool underOwnChannel = false;
};

struct ZovikCommandAnswer {
  std::vector<std::string> replies;        // chat lines to print now, in order
  std::vector<ChannelCreation> creations;  // one creation request each
};

// Whether the server has a channel of exactly this name anywhere, as the
// plugin finds one anywhere.
using ChannelNameExists = std::function<bool(std::string_view name)>;

// The pilot's own verbs, which the plugin answers itself; kNone for any
// other text, which AnswerZovikCommand answers.
enum class PilotVerb { kNone, kPause, kResume, kBack, kStatus };
PilotVerb PilotVerbOf(std::string_view text);

// `text` is what follows the keyword, as in "create --here 251 127.525".
// `exists` is asked only about the names a create or a check needs.
ZovikCommandAnswer AnswerZovikCommand(std::string_view text, const ChannelNameExists& exists);

// The chat line for the server's answer to one creation: error 0 is success,
// any other a refusal, told with the server's message.
std::string CreationAnswerReply(const ChannelCreation& creation, uint32_t error,
                                std::string_view serverMessage);

// The chat line for a creation that got no answer from the server: the
// client could not send the request (its error `error`), or the server said
// nothing within `seconds`.
std::string CreationNotSentReply(const ChannelCreation& creation, uint32_t error);
std::string CreationUnansweredReply(const ChannelCreation& creation, int seconds);

// The chat line for `count` creations dropped when their tab's connection
// was lost or made again.
std::string CreationsDroppedReply(size_t count);

// What keeps the plugin from answering a create or check typed in a tab.
enum class ZovikCommandProblem {
  kNotConnected,        // the tab has no established connection
  kChannelsUnreadable,  // the client cannot list the server's channels
  kOwnChannelUnknown,   // --here, and the client cannot tell the admin's channel
};
std::string ZovikCommandProblemReply(ZovikCommandProblem problem);
