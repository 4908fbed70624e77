// The client's "Settings" button in its plugin list.
#include "host/ts3_plugin_api.h"
#include "platform/platform.h"
#include "plugin/settings_dialog.h"

// The client's values of ts3plugin_offersConfigure.
enum ConfigureOffer { kOffersNoConfigure = 0, kOffersConfigureNewThread = 1 };

ZOVIK_EXPORT int ts3plugin_offersConfigure() {
  return PlatformHasSettingsDialog() ? kOffersConfigureNewThread : kOffersNoConfigure;
}

// The dialog runs on a thread of its own; the client's thread (whichever it
// calls on) returns at once.
ZOVIK_EXPORT void ts3plugin_configure(void* handle, void* qParentWidget) {
  (void)handle;
  (void)qParentWidget;
  try {
    OpenSettingsDialog();
  } catch (...) {
  }
}
