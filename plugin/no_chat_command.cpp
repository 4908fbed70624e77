// The fixed API 20 build has no /zovik command, hence nothing queued.
#include "plugin/zovik_chat_command.h"

void OnTabConnectionChanged(uint64_t serverConnectionHandlerID) { (void)serverConnectionHandlerID; }

void StopCreationTimer() {}
