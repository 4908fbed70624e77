#include "commands/zovik_command.h"

#include "commands/frequency_argument.h"
#include "udpserver/frequency_rule.h"

namespace {

// The server's error numbers that get advice beyond the server's words.
constexpr uint32_t kInsufficientPermissions = 0x0a08;

constexpr std::string_view kBand = "30.001\xE2\x80\x93" "399.999 MHz";  // with an en dash

template <typename... Parts>
std::string Reply(const Parts&... parts) {
  std::string line;
  (line.append(parts), ...);
  return line;
}

std::string Command(std::string_view verb) {
  return Reply("/", kZovikCommandKeyword, " ", verb);
}

std::string Usage() {
  return Reply(Command("create"), " FREQUENCY... makes the channel of each frequency (add "
               "--here to make them under your channel); ", Command("check"),
               " FREQUENCY... tells which exist. Frequencies in MHz (251, 127.525) or kHz "
               "(243500). ", Command("pause"), " and ", Command("resume"),
               " stop and restart following the radio; ", Command("back"),
               " takes you back to the channel you were in before the flight; ",
               Command("status"), " tells what ZOVIK is doing.");
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Words between blanks. A comma or semicolon ending a word is a list's
// separator pasted with it; one inside a word is left for the frequency rule
// to refuse, since "127,525" may mean 127.525 and must not become two channels.
std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  size_t i = 0;
  while (i < text.size()) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    const size_t start = i;
    while (i < text.size() && !IsBlank(text[i])) ++i;
    std::string_view word = text.substr(start, i - start);
    if (!word.empty() && (word.back() == ',' || word.back() == ';')) word.remove_suffix(1);
    if (!word.empty()) words.push_back(word);
  }
  return words;
}

std::string Lower(std::string_view word) {
  std::string lower(word);
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return lower;
}

// Options start with a dash; a dash before a digit is a negative number.
bool IsOption(std::string_view word) {
  return word.front() == '-' && (word.size() == 1 || word[1] < '0' || word[1] > '9');
}

std::string Quoted(std::string_view text) { return Reply("\"", text, "\""); }

// "\"Fréquences 251\" (251.000, 251.050 MHz)"
std::string Label(const ChannelFrequencies& channel) {
  std::string label = Quoted(channel.name) + " (";
  for (size_t i = 0; i < channel.frequencies.size(); ++i) {
    label += i == 0 ? "" : ", ";
    label += MegahertzText(channel.frequencies[i]);
  }
  return label + " MHz)";
}

// Whether `word` is a frequency at all, whatever its band.
bool LooksLikeFrequency(std::string_view word) {
  std::string text;
  return FrequencyArgumentToKilohertzText(word, &text);
}

// An accepted frequency in kHz, or the reply that says why the word, a
// frequency in form, has no channel.
bool ReadFrequency(std::string_view word, int32_t* frequency, std::string* reply) {
  if (!FrequencyArgumentToKilohertz(word, frequency)) {
    *reply = Reply(Quoted(word), " is outside ", kBand, ": no channel for it.");
    return false;
  }
  if (!IsAcceptedFrequency(*frequency)) {
    *reply = Reply(Quoted(word), " (", MegahertzText(*frequency), " MHz) is outside ", kBand,
                   ": no channel for it.");
    return false;
  }
  return true;
}

ZovikCommandAnswer Refusal(std::string line) { return {{std::move(line), Usage()}, {}}; }

}  // namespace

PilotVerb PilotVerbOf(std::string_view text) {
  const std::vector<std::string_view> words = Words(text);
  if (words.size() != 1) return PilotVerb::kNone;
  const std::string verb = Lower(words.front());
  if (verb == "pause") return PilotVerb::kPause;
  if (verb == "resume") return PilotVerb::kResume;
  if (verb == "back") return PilotVerb::kBack;
  if (verb == "status") return PilotVerb::kStatus;
  return PilotVerb::kNone;
}

ZovikCommandAnswer AnswerZovikCommand(std::string_view text, const ChannelNameExists& exists) {
  const std::vector<std::string_view> words = Words(text);
  const std::string verb = words.empty() ? "help" : Lower(words.front());
  if (verb == "help") return {{Usage()}, {}};
  const bool create = verb == "create";
  if (!create && verb != "check") return Refusal(Reply("no command ", Quoted(words.front()), "."));

  if (text.size() > kLongestZovikCommand) {
    return {{Reply("the command is longer than ", std::to_string(kLongestZovikCommand),
                   " bytes: nothing done.")},
            {}};
  }

  // A word not understood may be an option mangled by the chat (an em dash
  // for "--") or a frequency mistyped: the line is not done at all, rather
  // than done in part or elsewhere than meant.
  ZovikCommandAnswer answer;
  bool here = false;
  std::string notUnderstood;
  size_t frequencyWords = 0;
  for (size_t i = 1; i < words.size(); ++i) {
    if (IsOption(words[i]) && create && Lower(words[i]) == "--here") {
      here = true;
    } else if (IsOption(words[i]) || !LooksLikeFrequency(words[i])) {
      notUnderstood += notUnderstood.empty() ? "" : ", ";
      notUnderstood += Quoted(words[i]);
    } else {
      ++frequencyWords;
    }
  }
  if (!notUnderstood.empty()) {
    return {{Reply("not understood: ", notUnderstood, "; nothing done. ", Command("help"),
                   " tells what to type.")},
            {}};
  }
  if (frequencyWords > kMostZovikCommandFrequencies) {
    return {{Reply("more than ", std::to_string(kMostZovikCommandFrequencies),
                   " frequencies in one command: nothing done.")},
            {}};
  }

  ChannelFrequencyList channels;
  for (size_t i = 1; i < words.size(); ++i) {
    if (IsOption(words[i])) continue;
    int32_t frequency = 0;
    std::string reply;
    if (ReadFrequency(words[i], &frequency, &reply)) {
      channels.Add(frequency);
    } else {
      answer.replies.push_back(std::move(reply));
    }
  }
  if (channels.entries().empty() && answer.replies.empty()) {
    return Refusal(Reply(Quoted(verb), " needs at least one frequency."));
  }

  std::string missing;
  for (ChannelFrequencies& channel : channels.Take()) {
    if (exists(channel.name)) {
      answer.replies.push_back(
          Reply(Label(channel), create ? " is already there, left as it is." : " is there."));
    } else if (create) {
      answer.creations.push_back({std::move(channel), here});
    } else {
      answer.replies.push_back(Reply(Label(channel), " is missing."));
      missing += ' ';
      missing += MegahertzText(channel.frequencies.front());
    }
  }
  if (!missing.empty()) {
    answer.replies.push_back(Reply("to create the missing ones: ", Command("create"), missing));
  }
  return answer;
}

std::string CreationAnswerReply(const ChannelCreation& creation, uint32_t error,
                                std::string_view serverMessage) {
  if (error == 0) {
    return Reply("created ", Label(creation.channel),
                 creation.underOwnChannel ? " under your channel." : " at the top level.");
  }
  std::string reply = Reply(Label(creation.channel), " refused: ");
  reply += serverMessage.empty() ? "error " + std::to_string(error) : std::string(serverMessage);
  if (error == kInsufficientPermissions) {
    reply += "; you need b_channel_create_permanent";
    if (creation.underOwnChannel) reply += " and b_channel_create_child";
  }
  if (reply.back() != '.') reply += '.';
  return reply;
}

std::string CreationNotSentReply(const ChannelCreation& creation, uint32_t error) {
  return Reply(Label(creation.channel),
               " not created: the client could not send the request (error ", std::to_string(error),
               ").");
}

std::string CreationUnansweredReply(const ChannelCreation& creation, int seconds) {
  return Reply(Label(creation.channel), ": no answer from the server within ",
               std::to_string(seconds), " s; ", Command("check"), " tells whether it was created.");
}

std::string CreationsDroppedReply(size_t count) {
  return Reply(std::to_string(count), count == 1 ? " channel" : " channels",
               " not created: the connection changed before the server answered. Type the "
               "command again once connected; ", Command("check"), " tells what is there.");
}

std::string ZovikCommandProblemReply(ZovikCommandProblem problem) {
  switch (problem) {
    case ZovikCommandProblem::kNotConnected:
      return "this tab is not connected to a server: connect, then type the command again.";
    case ZovikCommandProblem::kChannelsUnreadable:
      return "the client cannot list this server's channels: nothing done.";
    case ZovikCommandProblem::kOwnChannelUnknown:
      return "the client cannot tell which channel you are in: nothing created.";
  }
  return {};
}
