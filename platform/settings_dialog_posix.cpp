// Linux backend of platform.h's settings dialog: there is none; the
// settings come from the client's environment.
#include "platform/platform.h"

bool PlatformHasSettingsDialog() { return false; }

void PlatformOpenSettingsDialog(const SettingsChoice&, SettingsChosen) {}

void PlatformCloseSettingsDialog() {}
