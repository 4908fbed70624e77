// Commands for the server's own text interface (ServerQuery, TCP port 10011
// by default), which a server owner pastes after logging in and selecting the
// virtual server.
#pragma once

#include <string>
#include <string_view>

// A parameter value as ServerQuery reads it: backslash, slash, space, pipe
// and the control characters it names are escaped; every other byte, UTF-8
// included, goes as it is.
std::string ServerQueryEscape(std::string_view value);

// The command that creates a permanent top-level channel of that name.
std::string ChannelCreateCommand(std::string_view channelName);
