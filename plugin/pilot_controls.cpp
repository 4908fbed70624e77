#include "plugin/pilot_controls.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "channels/channels_base.h"
#include "commands/frequency_argument.h"
#include "commands/zovik_command.h"
#include "host/host_functions.h"
#include "log/log_file.h"
#include "plugin/plugin_settings.h"
#include "plugin/settings_dialog.h"
#include "plugin_identity.h"
#include "udpserver/frequency_rule.h"
#include "udpserver/udp_server.h"

namespace {

enum MenuID { kMenuPause = 1, kMenuResume, kMenuBack, kMenuStatus, kMenuSettings };

constexpr char kHotkeyPause[] = "zovik_pause";
constexpr char kHotkeyBack[] = "zovik_back";

// The connection whose channels the radio follows; 0 for none.
uint64_t FollowedConnection() {
  const auto store = g_channelsBase.Current();
  return store != nullptr ? store->serverConnectionHandlerID : 0;
}

// Every answer goes to the followed tab; without one, to `fallback` (the tab
// a command was typed in) or the tab the pilot looks at.
void Say(std::string_view text, uint64_t fallback = 0) {
  uint64_t tab = FollowedConnection();
  if (tab == 0) tab = fallback;
  const std::string line = PluginChatLine(text);
  if (tab != 0 && HostPrintToServerTab(tab, line.c_str())) return;
  if (g_ts3Functions.printMessageToCurrentTab != nullptr) {
    g_ts3Functions.printMessageToCurrentTab(line.c_str());
  }
}

std::string Quoted(std::string_view text) {
  std::string quoted = "\"";
  quoted.append(text);
  quoted += '"';
  return quoted;
}

std::string ChannelNameOf(uint64_t connection, uint64_t channel) {
  std::string name;
  if (!HostGetChannelName(connection, channel, &name)) {
    char number[24];
    std::snprintf(number, sizeof number, "#%llu", static_cast<unsigned long long>(channel));
    name = number;
  }
  return name;
}

// Only the applicable one of pause and resume is offered.
void UpdatePauseMenu() {
  if (g_ts3Functions.setPluginMenuEnabled == nullptr || HostPluginID().empty()) return;
  const bool paused = g_udpServer.paused();
  g_ts3Functions.setPluginMenuEnabled(HostPluginID().c_str(), kMenuPause, paused ? 0 : 1);
  g_ts3Functions.setPluginMenuEnabled(HostPluginID().c_str(), kMenuResume, paused ? 1 : 0);
}

void Pause(uint64_t fallback) {
  if (g_udpServer.paused()) {
    Say("already paused; Resume following (or /zovik resume) follows the radio again.", fallback);
    return;
  }
  g_udpServer.SetPaused(true);
  LogMessage("PLUGIN: paused by the pilot", 1);
  UpdatePauseMenu();
  Say("paused. Your channel stays as it is until you resume.", fallback);
}

void Resume(uint64_t fallback) {
  if (!g_udpServer.paused()) {
    Say("already following the radio.", fallback);
    return;
  }
  g_udpServer.SetPaused(false);
  LogMessage("PLUGIN: resumed by the pilot", 1);
  UpdatePauseMenu();
  // The radio may have turned during the pause: its frequency counts now.
  const int32_t radio = g_udpServer.CurrentFacts().radioFrequency;
  switch (g_udpServer.FollowRadioNow()) {
    case UDPServer::Outcome::kMoved:
      Say("following the radio again: moved to " +
              Quoted(FrequencyToChannelName(radio).view()) + " (" + MegahertzText(radio) +
              " MHz).",
          fallback);
      return;
    case UDPServer::Outcome::kNoChannel:
      Say("following the radio again; " + MegahertzText(radio) + " MHz has no channel " +
              Quoted(FrequencyToChannelName(radio).view()) + " on this server.",
          fallback);
      return;
    default:
      Say("following the radio again.", fallback);
      return;
  }
}

void Back(uint64_t fallback) {
  uint64_t channel = 0;
  switch (g_udpServer.MoveBack(&channel)) {
    case UDPServer::Outcome::kMoved:
      Say("back in your channel " + Quoted(ChannelNameOf(FollowedConnection(), channel)) +
              "; the radio moves you again when its frequency changes.",
          fallback);
      return;
    case UDPServer::Outcome::kChannelGone:
      Say("the channel you were in before the flight is gone: you stay where you are.",
          fallback);
      return;
    case UDPServer::Outcome::kNothingNoted:
      Say("no move made on this server yet: nothing to go back to.", fallback);
      return;
    default:
      Say("no server to go back on: you stay where you are.", fallback);
      return;
  }
}

// The facts the status shows, each a short sentence, built only when asked.
std::string StatusText(std::string_view separator) {
  const UDPServer::Facts facts = g_udpServer.CurrentFacts();
  const auto store = g_channelsBase.Current();
  std::string text = facts.paused ? "Paused: your channel stays as it is."
                                  : "Following the radio.";
  text += separator;
  if (IsAcceptedFrequency(facts.radioFrequency)) {
    const ChannelName name = FrequencyToChannelName(facts.radioFrequency);
    text += "Radio on " + MegahertzText(facts.radioFrequency) + " MHz: ";
    if (store == nullptr || store->FindFirst(name.view()) != nullptr) {
      text += "channel " + Quoted(name.view()) + ".";
    } else {
      text += "no channel named " + Quoted(name.view()) + " on this server.";
    }
  } else if (facts.leftAircraft) {
    text += "You are out of the aircraft.";
  } else {
    text += "No radio frequency yet.";
  }
  text += separator;
  if (facts.anyDatagram) {
    text += "Last word from DCS World " +
            std::to_string(facts.millisecondsSinceDatagram / 1000) + " s ago.";
  } else {
    text += "Nothing came from DCS World yet: run the ZOVIK setup, then fly.";
  }
  text += separator;
  text += store != nullptr ? "Following server tab " +
                                 std::to_string(store->serverConnectionHandlerID) + "."
                           : "No server tab followed: connect to a server.";
  return text;
}

void Status(uint64_t fallback) { Say(StatusText(" "), fallback); }

// Copies `text` into a fixed buffer of the client's records, cut to fit.
void CopyText(char* buffer, size_t size, const char* text) {
  std::strncpy(buffer, text, size - 1);
  buffer[size - 1] = '\0';
}

// The client frees what it is given through ts3plugin_freeMemory, so every
// piece comes from malloc.
PluginMenuItem* NewMenuItem(int id, const char* text) {
  auto* item = static_cast<PluginMenuItem*>(std::calloc(1, sizeof(PluginMenuItem)));
  if (item == nullptr) return nullptr;
  item->type = PLUGIN_MENU_TYPE_GLOBAL;
  item->id = id;
  CopyText(item->text, sizeof item->text, text);
  return item;
}

PluginHotkey* NewHotkey(const char* keyword, const char* description) {
  auto* hotkey = static_cast<PluginHotkey*>(std::calloc(1, sizeof(PluginHotkey)));
  if (hotkey == nullptr) return nullptr;
  CopyText(hotkey->keyword, sizeof hotkey->keyword, keyword);
  CopyText(hotkey->description, sizeof hotkey->description, description);
  return hotkey;
}

// Listener thread: the game side says the pilot has no aircraft any more.
void OnLeaveAircraft() {
  if (CurrentLeaveAircraft() != LeaveAircraft::kBackToMyChannel || g_udpServer.paused()) return;
  uint64_t channel = 0;
  // With no move made on this server, there is nowhere to go back to and
  // nothing to say: the pilot has not flown with ZOVIK here yet.
  if (g_udpServer.MoveBack(&channel) == UDPServer::Outcome::kMoved) {
    Say("you left the aircraft: back in your channel " +
        Quoted(ChannelNameOf(FollowedConnection(), channel)) + ".");
  }
}

// Either thread, at most once a second: the panel shows the own client of
// the followed tab, or that tab's server.
void OnFactsChanged() {
  const uint64_t tab = FollowedConnection();
  anyID own = 0;
  if (tab == 0 || g_ts3Functions.requestInfoUpdate == nullptr) return;
  // The ID the last move learnt: asking the client for it here would add a
  // call to every new frequency.
  if (g_udpServer.OwnClient(&own)) g_ts3Functions.requestInfoUpdate(tab, PLUGIN_CLIENT, own);
  g_ts3Functions.requestInfoUpdate(tab, PLUGIN_SERVER, tab);
}

}  // namespace

void StartPilotControls() {
  g_udpServer.SetOnLeaveAircraft(OnLeaveAircraft);
  g_udpServer.SetOnFactsChanged(OnFactsChanged);
  UpdatePauseMenu();
}

bool AnswerPilotVerb(uint64_t serverConnectionHandlerID, std::string_view text) {
  switch (PilotVerbOf(text)) {
    case PilotVerb::kPause: Pause(serverConnectionHandlerID); return true;
    case PilotVerb::kResume: Resume(serverConnectionHandlerID); return true;
    case PilotVerb::kBack: Back(serverConnectionHandlerID); return true;
    case PilotVerb::kStatus: Status(serverConnectionHandlerID); return true;
    case PilotVerb::kNone: return false;
  }
  return false;
}

ZOVIK_EXPORT void ts3plugin_freeMemory(void* data) { std::free(data); }

ZOVIK_EXPORT void ts3plugin_initMenus(PluginMenuItem*** menuItems, char** menuIcon) {
  if (menuIcon != nullptr) *menuIcon = nullptr;
  if (menuItems == nullptr) return;
  *menuItems = nullptr;
  static constexpr struct {
    int id;
    const char* text;
  } kItems[] = {{kMenuPause, "Pause following"},
                {kMenuResume, "Resume following"},
                {kMenuBack, "Back to my channel"},
                {kMenuStatus, "Status"},
                {kMenuSettings, "Settings\xE2\x80\xA6"}};
  constexpr size_t kCount = sizeof kItems / sizeof kItems[0];
  auto* items = static_cast<PluginMenuItem**>(std::calloc(kCount + 1, sizeof(PluginMenuItem*)));
  if (items == nullptr) return;
  for (size_t i = 0; i < kCount; ++i) {
    items[i] = NewMenuItem(kItems[i].id, kItems[i].text);
    if (items[i] == nullptr) {
      // Without memory, no menu rather than half of one.
      for (size_t j = 0; j < i; ++j) std::free(items[j]);
      std::free(items);
      return;
    }
  }
  *menuItems = items;
  // Clients differ in when the menu exists; asked here and at init.
  UpdatePauseMenu();
}

ZOVIK_EXPORT void ts3plugin_onMenuItemEvent(uint64_t serverConnectionHandlerID,
                                            PluginMenuType type, int menuItemID,
                                            uint64_t selectedItemID) {
  (void)selectedItemID;
  if (type != PLUGIN_MENU_TYPE_GLOBAL) return;
  try {
    switch (menuItemID) {
      case kMenuPause: Pause(serverConnectionHandlerID); break;
      case kMenuResume: Resume(serverConnectionHandlerID); break;
      case kMenuBack: Back(serverConnectionHandlerID); break;
      case kMenuStatus: Status(serverConnectionHandlerID); break;
      case kMenuSettings: OpenSettingsDialog(); break;
      default: break;
    }
  } catch (...) {
    // Without memory for a chat line the action is done, untold.
  }
}

ZOVIK_EXPORT void ts3plugin_initHotkeys(PluginHotkey*** hotkeys) {
  if (hotkeys == nullptr) return;
  *hotkeys = nullptr;
  auto* list = static_cast<PluginHotkey**>(std::calloc(3, sizeof(PluginHotkey*)));
  if (list == nullptr) return;
  list[0] = NewHotkey(kHotkeyPause, "ZOVIK: pause or resume following the radio");
  list[1] = NewHotkey(kHotkeyBack, "ZOVIK: back to the channel I was in before the flight");
  if (list[0] == nullptr || list[1] == nullptr) {
    std::free(list[0]);
    std::free(list[1]);
    std::free(list);
    return;
  }
  *hotkeys = list;
}

ZOVIK_EXPORT void ts3plugin_onHotkeyEvent(const char* keyword) {
  if (keyword == nullptr) return;
  try {
    if (std::strcmp(keyword, kHotkeyPause) == 0) {
      if (g_udpServer.paused()) {
        Resume(0);
      } else {
        Pause(0);
      }
    } else if (std::strcmp(keyword, kHotkeyBack) == 0) {
      Back(0);
    }
  } catch (...) {
  }
}

ZOVIK_EXPORT const char* ts3plugin_infoTitle() { return ZOVIK_NAME; }

ZOVIK_EXPORT void ts3plugin_infoData(uint64_t serverConnectionHandlerID, uint64_t id,
                                     PluginItemType type, char** data) {
  if (data == nullptr) return;
  *data = nullptr;
  try {
    const uint64_t tab = FollowedConnection();
    if (tab == 0 || serverConnectionHandlerID != tab) return;
    anyID own = 0;
    const bool ownClient = type == PLUGIN_CLIENT && g_ts3Functions.getClientID != nullptr &&
                           g_ts3Functions.getClientID(tab, &own) == kHostOk && id == own;
    if (!ownClient && type != PLUGIN_SERVER) return;
    const std::string text = StatusText("\n");
    auto* copy = static_cast<char*>(std::malloc(text.size() + 1));
    if (copy == nullptr) return;
    std::memcpy(copy, text.c_str(), text.size() + 1);
    *data = copy;
  } catch (...) {
    // Nothing shown rather than an exception in the client.
  }
}
