#include "testing/host_standin/script.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>
#include <vector>

#include "testing/host_standin/client_events.h"
#include "testing/host_standin/simulated_host.h"
#include "tools/sender/udp_sender.h"

namespace {

bool Fail(const std::string& message) {
  std::fprintf(stderr, "zovik_host: %s\n", message.c_str());
  return false;
}

// Shuts a started plugin down, as the client does before it unloads one;
// false when there was nothing to shut down.
bool ShutDownIfStarted(HostSession& session) {
  if (!session.library.loaded() || !session.initialized) return false;
  session.library.exports().shutdown();
  session.initialized = false;
  return true;
}

bool Load(HostSession& session) {
  std::string error;
  if (!session.library.Load(session.pluginPath, &error)) return Fail(error);
  const PluginExports& plugin = session.library.exports();
  std::printf("loaded %s\n  name: %s\n  version: %s\n  author: %s\n  api: %d (client %s)\n",
              session.pluginPath.c_str(), plugin.name(), plugin.version(), plugin.author(),
              plugin.apiVersion(), StandInClient().version.c_str());
  if (!HandOverToPlugin(plugin, StandInClient(), &error)) {
    session.library.Unload();
    return Fail(error);
  }
  return true;
}

// create|rename|delete CONN ID [NAME]: an admin's change on CONN's server,
// told to the plugin as the client tells it.
bool ChangeChannel(const std::string& command, std::istringstream& arguments,
                   const PluginExports& plugin) {
  uint64_t connection = 0;
  uint64_t channel = 0;
  std::string name;
  if (!(arguments >> connection >> channel)) return Fail(command + " CONN ID [NAME]");
  std::getline(arguments >> std::ws, name);
  if (command != "delete" && name.empty()) return Fail(command + " CONN ID NAME");
  const bool done = command == "create"   ? PlayChannelCreated(plugin, connection, {channel, name})
                    : command == "rename" ? PlayChannelRenamed(plugin, connection, channel, name)
                                          : PlayChannelDeleted(plugin, connection, channel);
  if (!done) return Fail("the server cannot " + command + " channel " + std::to_string(channel));
  // "created", "renamed", "deleted"
  std::printf("connection %llu: the admin %sd channel %llu %s\n",
              static_cast<unsigned long long>(connection), command.c_str(),
              static_cast<unsigned long long>(channel), name.c_str());
  return true;
}

// type CONN TEXT: the user types TEXT in CONN's chat; the server's answers
// to what the plugin asks follow, each request shown as the server saw it.
bool TypeInChat(std::istringstream& arguments, const PluginExports& plugin) {
  uint64_t connection = 0;
  std::string text;
  if (!(arguments >> connection) || !std::getline(arguments >> std::ws, text)) {
    return Fail("type CONN TEXT");
  }
  SimulatedHost& host = SimulatedHost::Instance();
  std::printf("connection %llu: typed %s\n", static_cast<unsigned long long>(connection),
              text.c_str());
  // Each request as it leaves, then the answer it gets.
  size_t shown = host.CreationFlushes().size();
  if (!PlayTypedCommand(plugin, connection, text)) return Fail("no plugin command: " + text);
  do {
    const std::vector<CreationFlush> flushes = host.CreationFlushes();
    for (; shown < flushes.size(); ++shown) {
      const CreationFlush& flush = flushes[shown];
      std::printf(
          "connection %llu: the plugin asks for channel '%s' (permanent %s) under "
          "channel %llu, return code %s; the server: %s\n",
          static_cast<unsigned long long>(flush.connection), flush.name.c_str(),
          flush.permanent.c_str(), static_cast<unsigned long long>(flush.parent),
          flush.returnCode.c_str(),
          flush.error == 0 ? ("created channel " + std::to_string(flush.channel)).c_str()
                           : ("refused with error " + std::to_string(flush.error)).c_str());
    }
    std::fflush(stdout);
  } while (PlayServerAnswer(plugin));
  return true;
}

// menus: the plugin's global menu as the client would build it, with each
// item's state; the client then releases what the plugin allocated.
bool ShowMenus(HostSession& session) {
  const PluginExports& plugin = session.library.exports();
  if (plugin.initMenus == nullptr || plugin.freeMemory == nullptr) return Fail("no menu exports");
  PluginMenuItem** items = nullptr;
  char* icon = nullptr;
  plugin.initMenus(&items, &icon);
  if (items == nullptr) return Fail("the plugin gave no menu");
  const std::map<int, bool> enabled = SimulatedHost::Instance().MenuEnabled();
  session.menuItems.clear();
  for (PluginMenuItem** item = items; *item != nullptr; ++item) {
    const auto state = enabled.find((*item)->id);
    std::printf("menu item %d '%s'%s\n", (*item)->id, (*item)->text,
                state == enabled.end() ? "" : state->second ? " enabled" : " greyed");
    session.menuItems[(*item)->text] = (*item)->id;
    plugin.freeMemory(*item);
  }
  plugin.freeMemory(items);
  if (icon != nullptr) plugin.freeMemory(icon);
  return true;
}

bool ClickMenu(std::istringstream& arguments, HostSession& session) {
  const PluginExports& plugin = session.library.exports();
  uint64_t connection = 0;
  std::string text;
  if (!(arguments >> connection) || !std::getline(arguments >> std::ws, text)) {
    return Fail("menu CONN TEXT");
  }
  const auto item = session.menuItems.find(text);
  if (item == session.menuItems.end() || plugin.onMenuItemEvent == nullptr) {
    return Fail("no menu item '" + text + "' (run menus first)");
  }
  const std::map<int, bool> enabled = SimulatedHost::Instance().MenuEnabled();
  const auto state = enabled.find(item->second);
  if (state != enabled.end() && !state->second) return Fail("menu item '" + text + "' is greyed");
  std::printf("clicked menu '%s'\n", text.c_str());
  std::fflush(stdout);
  plugin.onMenuItemEvent(connection, PLUGIN_MENU_TYPE_GLOBAL, item->second, 0);
  return true;
}

bool ShowHotkeys(const PluginExports& plugin) {
  if (plugin.initHotkeys == nullptr || plugin.freeMemory == nullptr) {
    return Fail("no hotkey exports");
  }
  PluginHotkey** hotkeys = nullptr;
  plugin.initHotkeys(&hotkeys);
  if (hotkeys == nullptr) return Fail("the plugin gave no hotkeys");
  for (PluginHotkey** hotkey = hotkeys; *hotkey != nullptr; ++hotkey) {
    std::printf("hotkey %s: %s\n", (*hotkey)->keyword, (*hotkey)->description);
    plugin.freeMemory(*hotkey);
  }
  plugin.freeMemory(hotkeys);
  return true;
}

// The info panel's text for an item, lines joined by " | "; "" for nothing.
bool InfoText(const PluginExports& plugin, uint64_t connection, PluginItemType type, uint64_t id,
              std::string* text) {
  if (plugin.infoData == nullptr || plugin.infoTitle == nullptr || plugin.freeMemory == nullptr) {
    return Fail("no info panel exports");
  }
  char* data = nullptr;
  plugin.infoData(connection, id, type, &data);
  text->clear();
  if (data == nullptr) return true;
  for (const char* c = data; *c != '\0'; ++c) {
    if (*c == '\n') {
      *text += " | ";
    } else {
      *text += *c;
    }
  }
  plugin.freeMemory(data);
  return true;
}

bool ShowInfo(std::istringstream& arguments, const PluginExports& plugin) {
  uint64_t connection = 0;
  uint64_t id = 0;
  std::string kind;
  if (!(arguments >> connection >> kind >> id) ||
      (kind != "server" && kind != "channel" && kind != "client")) {
    return Fail("info CONN server|channel|client ID");
  }
  const PluginItemType type = kind == "server"    ? PLUGIN_SERVER
                              : kind == "channel" ? PLUGIN_CHANNEL
                                                  : PLUGIN_CLIENT;
  std::string text;
  if (!InfoText(plugin, connection, type, id, &text)) return false;
  std::printf("info panel '%s' for %s %llu: %s\n", plugin.infoTitle(), kind.c_str(),
              static_cast<unsigned long long>(id), text.empty() ? "(nothing)" : text.c_str());
  return true;
}

// The plugin's listener works on its own thread; its state shows in the
// panel, which is asked again until it says what is awaited.
bool WaitForInfo(std::istringstream& arguments, const PluginExports& plugin) {
  uint64_t connection = 0;
  std::string wanted;
  if (!(arguments >> connection) || !std::getline(arguments >> std::ws, wanted)) {
    return Fail("wait-info CONN TEXT");
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string text;
  while (std::chrono::steady_clock::now() < deadline) {
    if (!InfoText(plugin, connection, PLUGIN_SERVER, connection, &text)) return false;
    if (text.find(wanted) != std::string::npos) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return Fail("the info panel never showed '" + wanted + "'; it shows: " + text);
}

bool Run(const std::string& command, std::istringstream& arguments, HostSession& session) {
  SimulatedHost& host = SimulatedHost::Instance();
  const PluginExports& plugin = session.library.exports();
  const bool loaded = session.library.loaded();
  if (command == "plugin") {
    arguments >> session.pluginPath;
  } else if (command == "plugin-dir") {
    arguments >> session.pluginDirectory;
    host.SetPluginPath(session.pluginDirectory);
  } else if (command == "channels") {
    uint64_t connection = 0;
    std::string file;
    if (!(arguments >> connection)) return Fail("channels CONN [FILE]");
    std::vector<SimulatedChannel> channels = DefaultChannels();
    std::string error;
    if (arguments >> file && !ReadChannelFile(file, &channels, &error)) return Fail(error);
    std::printf("connection %llu: %zu channels\n", static_cast<unsigned long long>(connection),
                channels.size());
    host.SetChannels(connection, std::move(channels));
  } else if (command == "remove") {
    uint64_t connection = 0;
    arguments >> connection;
    host.RemoveConnection(connection);
  } else if (command == "own-client") {
    unsigned id = 0;
    arguments >> id;
    host.SetOwnClientID(static_cast<anyID>(id));
  } else if (command == "fail") {
    std::string name, how;
    HostFunction function;
    if (!(arguments >> name >> how) || !HostFunctionFromName(name, &function)) {
      return Fail("fail FUNCTION always|off|N");
    }
    if (how == "always" || how == "off") {
      host.FailAlways(function, how == "always");
    } else {
      host.FailNext(function, std::atoi(how.c_str()));
    }
  } else if (command == "load") {
    return Load(session);
  } else if (command == "init") {
    if (!loaded) return Fail("init before load");
    std::printf("init returned %d\n", plugin.init());
    session.initialized = true;
    if (host.RegisterIDAfterInit() && StandInClient().UsesPluginID()) {
      plugin.registerPluginID(kStandInPluginID);
      std::printf("plugin ID registered after init\n");
    }
    if (SimulatedHost::Instance().PluginIdMismatches() != 0) {
      return Fail("getPluginPath was asked without the registered plugin ID");
    }
  } else if (command == "current") {
    uint64_t connection = 0;
    arguments >> connection;
    host.SetCurrentConnection(connection);
  } else if (command == "status") {
    if (!loaded) return Fail(command + " before load");
    uint64_t connection = 0;
    int status = STATUS_CONNECTION_ESTABLISHED;
    arguments >> connection >> status;
    PlayStatus(plugin, connection, status);
    std::printf("connection %llu: status %d reported\n",
                static_cast<unsigned long long>(connection), status);
  } else if (command == "connect") {
    if (!loaded) return Fail(command + " before load");
    uint64_t connection = 0;
    arguments >> connection;
    PlayConnection(plugin, connection);
    std::printf("connection %llu: established\n", static_cast<unsigned long long>(connection));
  } else if (command == "create" || command == "rename" || command == "delete") {
    if (!loaded) return Fail(command + " before load");
    return ChangeChannel(command, arguments, plugin);
  } else if (command == "type") {
    if (!loaded) return Fail(command + " before load");
    return TypeInChat(arguments, plugin);
  } else if (command == "permission") {
    uint64_t connection = 0;
    std::string what;
    if (!(arguments >> connection >> what) || (what != "create" && what != "no-create")) {
      return Fail("permission CONN create|no-create");
    }
    host.SetCreatePermission(connection, what == "create");
  } else if (command == "wait-chat") {
    size_t count = 0;
    long milliseconds = 10000;
    arguments >> count >> milliseconds;
    if (!host.WaitForChatLines(count, std::chrono::milliseconds(milliseconds))) {
      return Fail("only " + std::to_string(host.ChatLines().size()) + " of " +
                  std::to_string(count) + " chat lines within " + std::to_string(milliseconds) +
                  " ms");
    }
  } else if (command == "wait-moves") {
    size_t count = 0;
    long milliseconds = 10000;
    arguments >> count >> milliseconds;
    if (!host.WaitForMoves(count, std::chrono::milliseconds(milliseconds))) {
      return Fail("only " + std::to_string(host.Moves().size()) + " of " +
                  std::to_string(count) + " moves within " + std::to_string(milliseconds) + " ms");
    }
  } else if (command == "send") {
    std::string text;
    int repeat = 1;
    long milliseconds = 100;
    if (!(arguments >> text)) return Fail("send TEXT [REPEAT] [MS]");
    arguments >> repeat >> milliseconds;
    static UdpSender sender;
    for (int i = 0; i < repeat; ++i) {
      std::string error;
      if (!sender.SendText(text, &error)) return Fail(error);
      if (i + 1 < repeat) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
    }
  } else if (command == "echo") {
    std::string text;
    std::getline(arguments >> std::ws, text);
    std::printf("%s\n", text.c_str());
  } else if (command == "sleep") {
    long milliseconds = 0;
    arguments >> milliseconds;
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  } else if (command == "where") {
    uint64_t connection = 1;
    arguments >> connection;
    const uint64_t channel = host.CurrentChannel(connection);
    std::printf("connection %llu: in channel %llu '%s'\n",
                static_cast<unsigned long long>(connection),
                static_cast<unsigned long long>(channel), host.ChannelName(connection, channel).c_str());
  } else if (command == "shutdown") {
    if (!loaded) return Fail("shutdown before load");
    plugin.shutdown();
    session.initialized = false;
    std::printf("shutdown returned\n");
  } else if (command == "unload") {
    // Unloading the code under a running listener would crash the stand-in.
    if (ShutDownIfStarted(session)) std::printf("shutdown returned\n");
    session.library.Unload();
    std::printf("unloaded\n");
  } else if (command == "id-order") {
    std::string order;
    if (!(arguments >> order) || (order != "before" && order != "after")) {
      return Fail("id-order before|after");
    }
    host.SetRegisterIDAfterInit(order == "after");
  } else if (command == "menus") {
    if (!loaded) return Fail(command + " before load");
    return ShowMenus(session);
  } else if (command == "menu") {
    if (!loaded) return Fail(command + " before load");
    return ClickMenu(arguments, session);
  } else if (command == "hotkeys") {
    if (!loaded) return Fail(command + " before load");
    return ShowHotkeys(plugin);
  } else if (command == "hotkey") {
    std::string keyword;
    if (!loaded || plugin.onHotkeyEvent == nullptr || !(arguments >> keyword)) {
      return Fail("hotkey KEYWORD, with a plugin that has hotkeys");
    }
    std::printf("pressed hotkey %s\n", keyword.c_str());
    std::fflush(stdout);
    plugin.onHotkeyEvent(keyword.c_str());
  } else if (command == "info") {
    if (!loaded) return Fail(command + " before load");
    return ShowInfo(arguments, plugin);
  } else if (command == "wait-info") {
    if (!loaded) return Fail(command + " before load");
    return WaitForInfo(arguments, plugin);
  } else if (command == "info-updates") {
    std::printf("info panel refreshes asked: %d\n", host.InfoUpdateRequests());
  } else if (command == "expect-moves") {
    size_t count = 0;
    arguments >> count;
    if (host.Moves().size() != count) {
      return Fail(std::to_string(host.Moves().size()) + " moves, expected " +
                  std::to_string(count));
    }
  } else if (command == "print-log") {
    const std::string path = session.pluginDirectory + "zovik_plugin/zovik_plugin.log";
    std::ifstream log(path, std::ios::binary);
    if (!log) return Fail("no log file at " + path);
    std::printf("---- %s ----\n%s---- end of log ----\n", path.c_str(),
                std::string(std::istreambuf_iterator<char>(log), {}).c_str());
  } else {
    return Fail("unknown command '" + command + "'");
  }
  return true;
}

}  // namespace

int RunScript(std::istream& script, HostSession& session) {
  SimulatedHost::Instance().OnMove([](const MoveRequest& move) {
    std::printf("moved to channel %llu '%s'\n", static_cast<unsigned long long>(move.channel),
                move.channelName.c_str());
    std::fflush(stdout);
  });
  SimulatedHost::Instance().OnChat([](const ChatLine& line) {
    std::printf("chat of tab %llu: %s\n", static_cast<unsigned long long>(line.connection),
                line.text.c_str());
    std::fflush(stdout);
  });
  std::string line;
  while (std::getline(script, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    std::istringstream arguments(line);
    std::string command;
    if (!(arguments >> command) || command[0] == '#') continue;
    const bool ok = Run(command, arguments, session);
    std::fflush(stdout);
    if (!ok) {
      ShutDownIfStarted(session);
      return 1;
    }
  }
  // Never leave the listener running behind an unloaded library.
  ShutDownIfStarted(session);
  session.library.Unload();
  return 0;
}
