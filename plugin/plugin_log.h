// The log opens in the plugin's folder, which clients from 3.1 on give only
// to a plugin that tells its ID; the ID may come after ts3plugin_init.
#pragma once

// Client's thread, from ts3plugin_registerPluginID: opens the log when
// ts3plugin_init had to leave it for want of the ID; else nothing.
void OpenPluginLogIfWaiting();
