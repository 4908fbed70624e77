#include "tools/channel_plan/serverquery.h"

namespace {

// The letter after the backslash for each byte ServerQuery escapes; 0 for
// the others.
char EscapeLetter(char byte) {
  switch (byte) {
    case '\\': return '\\';
    case '/': return '/';
    case ' ': return 's';
    case '|': return 'p';
    case '\a': return 'a';
    case '\b': return 'b';
    case '\f': return 'f';
    case '\n': return 'n';
    case '\r': return 'r';
    case '\t': return 't';
    case '\v': return 'v';
    default: return 0;
  }
}

}  // namespace

std::string ServerQueryEscape(std::string_view value) {
  std::string escaped;
  escaped.reserve(value.size());
  for (const char byte : value) {
    const char letter = EscapeLetter(byte);
    if (letter != 0) {
      escaped += '\\';
      escaped += letter;
    } else {
      escaped += byte;
    }
  }
  return escaped;
}

std::string ChannelCreateCommand(std::string_view channelName) {
  return "channelcreate channel_name=" + ServerQueryEscape(channelName) +
         " channel_flag_permanent=1";
}
