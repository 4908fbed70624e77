// The entry the settings dialog fills in: the menu's "Settings…" item opens
// the dialog through here. Until the dialog is built in, the item does
// nothing.
#include "plugin/pilot_controls.h"

void OpenSettingsDialog() {}
