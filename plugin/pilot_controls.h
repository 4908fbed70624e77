// What the pilot steers from the client: pause and resume, back to his own
// channel, the status (in the info panel and as a chat line), in the
// Plugins menu, as hotkeys and as /zovik verbs. The package library only.
#pragma once

#include <cstdint>
#include <string_view>

// Client's thread, from ts3plugin_init: hooks the controls to the listener
// before it starts.
void StartPilotControls();

// Client's thread: when `text` (what follows "/zovik") is one of the pilot's
// verbs, does it, answers in the chat and returns true; else false.
bool AnswerPilotVerb(uint64_t serverConnectionHandlerID, std::string_view text);
