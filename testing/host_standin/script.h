// The host stand-in's command language: one command a line, run in order.
//
//   plugin PATH              library to load (default: beside this program)
//   plugin-dir DIR           what getPluginPath reports (ends with a separator)
//   channels CONN [FILE]     server of connection CONN: FILE's "ID NAME" lines,
//                            or the built-in frequency channels
//   remove CONN              connection CONN disappears
//   own-client ID            the user's client identifier
//   fail FUNCTION always|off|N   make a host function fail
//   load | init | shutdown | unload   (unload shuts a started plugin down first)
//   status CONN STATUS       CONN's status becomes STATUS (0 = disconnected,
//                            4 = established), and the plugin is told
//   connect CONN             CONN connects as the client reports it: statuses
//                            1 to 4, one new-channel event per channel
//   create CONN ID NAME      an admin creates channel ID named NAME (the rest
//                            of the line, UTF-8) on CONN's server
//   rename CONN ID NAME      an admin renames channel ID
//   delete CONN ID           an admin deletes channel ID
//   type CONN TEXT           the user types TEXT in CONN's chat ("/zovik create
//                            262"); the server's answers follow at once
//   permission CONN create|no-create   whether the user may create channels
//   current CONN             the tab the user looks at
//   send TEXT [N] [MS]       send a datagram to 127.0.0.1:10500, N times MS apart
//   wait-moves N [MS]        wait until N moves happened (fails on timeout)
//   wait-chat N [MS]         wait until N lines were printed into a chat
//   sleep MS
//   echo TEXT                print TEXT (a demo's narration)
//   where CONN               print the user's channel on CONN
//   print-log                print the plugin's log file
//   id-order before|after    when a client from 3.1 on registers the plugin's
//                            ID: before ts3plugin_init (default) or after it
//   menus                    ask for the plugin's menu and print its items
//   menu CONN TEXT           click the global menu item TEXT (fails when greyed)
//   hotkeys                  ask for the plugin's hotkeys and print them
//   hotkey KEYWORD           the user presses the hotkey bound to KEYWORD
//   info CONN server|channel|client ID   what the info panel shows for an item
//   wait-info CONN TEXT      wait until CONN's server item shows TEXT
//   info-updates             print how often the plugin asked to refresh the panel
//   expect-moves N           fail unless exactly N moves happened so far
//   # ...                    comment
#pragma once

#include <istream>
#include <map>
#include <string>

#include "testing/host_standin/plugin_library.h"

struct HostSession {
  std::string pluginPath;
  std::string pluginDirectory;
  PluginLibrary library;
  bool initialized = false;
  std::map<std::string, int> menuItems;  // text -> id, from the last "menus"
};

// Runs every command; returns 0, or 1 at the first command that fails.
int RunScript(std::istream& script, HostSession& session);
