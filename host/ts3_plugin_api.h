// Our own declaration of the voice client's plugin interface: only what this
// plugin uses, laid out to match the client's binary interface. The asserts
// below pin every slot we call.
//
// Clients 3.0.16 to 3.0.19 load API 20; from 3.1 on they want 21 or later,
// where getPluginPath takes the plugin's ID and the table grew at its end.
// The first 209 slots kept their places in every version, so one
// declaration serves every client; host/client_api.h says which version
// this library answers.
#pragma once

#include <cstddef>
#include <cstdint>

// Exports are looked up by undecorated name; nothing else leaves the library.
#if defined(_WIN32)  // the export attribute is spelled differently per linker
#define ZOVIK_EXPORT extern "C" __declspec(dllexport)
#else
#define ZOVIK_EXPORT extern "C" __attribute__((visibility("default")))
#endif

// Client identifiers are 16-bit in the client's protocol.
typedef uint16_t anyID;

// Connection states reported by ts3plugin_onConnectStatusChangeEvent.
enum ConnectStatus {
  STATUS_DISCONNECTED = 0,
  STATUS_CONNECTING = 1,
  STATUS_CONNECTED = 2,
  STATUS_CONNECTION_ESTABLISHING = 3,
  STATUS_CONNECTION_ESTABLISHED = 4,  // channel list complete; safe to read
};

// Channel properties read with getChannelVariableAsString, or set on channel
// 0 for a channel about to be created.
enum ChannelProperty { CHANNEL_NAME = 0, CHANNEL_FLAG_PERMANENT = 9 };

// What a menu item belongs to; ZOVIK's are all global (the Plugins menu).
enum PluginMenuType { PLUGIN_MENU_TYPE_GLOBAL = 0, PLUGIN_MENU_TYPE_CHANNEL = 1,
                      PLUGIN_MENU_TYPE_CLIENT = 2 };
// What the client's info panel shows when it asks ts3plugin_infoData.
enum PluginItemType { PLUGIN_SERVER = 0, PLUGIN_CHANNEL = 1, PLUGIN_CLIENT = 2 };

// The buffers of the client's menu and hotkey records.
constexpr size_t kPluginMenuTextBytes = 128;
constexpr size_t kPluginHotkeyTextBytes = 128;

extern "C" {
// One item of the plugin's menus, allocated by the plugin in
// ts3plugin_initMenus and released by the client through ts3plugin_freeMemory.
struct PluginMenuItem {
  PluginMenuType type;
  int id;
  char text[kPluginMenuTextBytes];
  char icon[kPluginMenuTextBytes];  // file under the plugin's folder; "" for none
};
// One hotkey the pilot may bind in the client; owned like a menu item.
struct PluginHotkey {
  char keyword[kPluginHotkeyTextBytes];      // what ts3plugin_onHotkeyEvent receives
  char description[kPluginHotkeyTextBytes];  // what the client's hotkey list shows
};
}
static_assert(sizeof(PluginMenuItem) == 2 * sizeof(int) + 2 * kPluginMenuTextBytes);
static_assert(sizeof(PluginHotkey) == 2 * kPluginHotkeyTextBytes);

// Which chat of a server tab printMessage writes into.
enum PluginMessageTarget { PLUGIN_MESSAGE_TARGET_SERVER = 0, PLUGIN_MESSAGE_TARGET_CHANNEL = 1 };

// Every host function below returns this on success; anything else is a failure.
constexpr unsigned int kHostOk = 0;

using HostSlot = void (*)();

extern "C" {
// The two forms of getPluginPath: writes the plugin directory, terminated and
// ending with a separator, into `path` of `maxLen` bytes. From API 21 on the
// client wants the ID it gave to ts3plugin_registerPluginID.
typedef void (*GetPluginPathApi20)(char* path, size_t maxLen);
typedef void (*GetPluginPathApi21)(char* path, size_t maxLen, const char* pluginID);
}

extern "C" {

// The client's function table. The client passes it by value to
// ts3plugin_setFunctionPointers; the plugin keeps its own copy. Every member
// may be called from any thread once the copy is made. From API 21 on the
// client's table is longer; only these first slots are declared and copied,
// which by-value passing allows (the callee reads the argument in place).
struct TS3Functions {
  HostSlot unused0To4[5];

  // Releases memory the client returned (lists, strings).
  unsigned int (*freeMemory)(void* pointer);

  HostSlot unused6To47[42];

  // Asks the client to move `clientID` into `newChannelID`. `password` is the
  // channel password ("" for none), `returnCode` may be null. Success means
  // the request was accepted, not that the move has happened.
  unsigned int (*requestClientMove)(uint64_t serverConnectionHandlerID, anyID clientID,
                                    uint64_t newChannelID, const char* password,
                                    const char* returnCode);

  HostSlot unused49To72[24];

  // The user's own client identifier on that connection.
  unsigned int (*getClientID)(uint64_t serverConnectionHandlerID, anyID* result);

  HostSlot unused74To82[9];

  // The channel `clientID` (the own client, here) is in.
  unsigned int (*getChannelOfClient)(uint64_t serverConnectionHandlerID, anyID clientID,
                                     uint64_t* result);

  HostSlot unused84To85[2];

  // A channel property as UTF-8 text; on success *result is owned by the
  // caller and released with freeMemory.
  unsigned int (*getChannelVariableAsString)(uint64_t serverConnectionHandlerID,
                                             uint64_t channelID, size_t flag, char** result);

  HostSlot unused87;

  // A property of the channel about to be created is set on channel 0, then
  // sent with flushChannelCreation; the client copies `value`.
  unsigned int (*setChannelVariableAsInt)(uint64_t serverConnectionHandlerID, uint64_t channelID,
                                          size_t flag, int value);
  HostSlot unused89;
  unsigned int (*setChannelVariableAsString)(uint64_t serverConnectionHandlerID, uint64_t channelID,
                                             size_t flag, const char* value);
  HostSlot unused91;

  // Asks the server to create the channel whose properties were set on
  // channel 0, under `channelParentID` (0: the top level). Success means the
  // request left; the server answers later through the error event carrying
  // `returnCode` (null: none) and, when it created it, the new channel's event.
  unsigned int (*flushChannelCreation)(uint64_t serverConnectionHandlerID, uint64_t channelParentID,
                                       const char* returnCode);

  // All channel identifiers of the connection, ended by a 0 entry; on success
  // *result is owned by the caller and released with freeMemory.
  unsigned int (*getChannelList)(uint64_t serverConnectionHandlerID, uint64_t** result);

  HostSlot unused94To95[2];

  // Every server connection (tab) of the client, ended by a 0 entry; on
  // success *result is owned by the caller and released with freeMemory.
  unsigned int (*getServerConnectionHandlerList)(uint64_t** result);

  HostSlot unused97To100[4];

  // The connection's ConnectStatus.
  unsigned int (*getConnectionStatus)(uint64_t serverConnectionHandlerID, int* result);

  HostSlot unused102To181[80];

  // GetPluginPathApi20 or GetPluginPathApi21, by the API the plugin answered:
  // the one slot whose signature changed.
  HostSlot getPluginPath;

  // The connection whose tab the user is looking at; it may be one that is
  // not connected. Cannot fail.
  uint64_t (*getCurrentServerConnectionHandlerID)();

  // Shows one line of UTF-8 text in the chat of the connection's tab (of
  // PluginMessageTarget `target`), only on this computer. Cannot fail.
  void (*printMessage)(uint64_t serverConnectionHandlerID, const char* message, int target);
  // The same, in the tab the user is looking at.
  void (*printMessageToCurrentTab)(const char* message);

  HostSlot unused186To190[5];

  // Writes into `returnCode` (`maxLen` bytes) a code of the plugin with ID
  // `pluginID`, unique for this client, to pass along with a request: the
  // server's answer to it carries the code back. Cannot fail.
  void (*createReturnCode)(const char* pluginID, char* returnCode, size_t maxLen);

  // Asks the client to query ts3plugin_infoData again for the item shown,
  // if it is this one. Cheap; the answer comes later on the client's thread.
  unsigned int (*requestInfoUpdate)(uint64_t serverConnectionHandlerID, PluginItemType itemType,
                                    uint64_t itemID);

  HostSlot unused193To196[4];

  // Greys out (0) or enables (1) the plugin's menu item `menuID`; the
  // plugin's ID as registered. Cannot fail.
  void (*setPluginMenuEnabled)(const char* pluginID, int menuID, int enabled);

  HostSlot unused198To208[11];
};

}  // extern "C"

constexpr size_t kTS3FunctionsSlots = 209;
static_assert(sizeof(TS3Functions) == kTS3FunctionsSlots * sizeof(void*));
static_assert(offsetof(TS3Functions, freeMemory) == 5 * sizeof(void*));
static_assert(offsetof(TS3Functions, requestClientMove) == 48 * sizeof(void*));
static_assert(offsetof(TS3Functions, getClientID) == 73 * sizeof(void*));
static_assert(offsetof(TS3Functions, getChannelOfClient) == 83 * sizeof(void*));
static_assert(offsetof(TS3Functions, getChannelVariableAsString) == 86 * sizeof(void*));
static_assert(offsetof(TS3Functions, setChannelVariableAsInt) == 88 * sizeof(void*));
static_assert(offsetof(TS3Functions, setChannelVariableAsString) == 90 * sizeof(void*));
static_assert(offsetof(TS3Functions, flushChannelCreation) == 92 * sizeof(void*));
static_assert(offsetof(TS3Functions, getChannelList) == 93 * sizeof(void*));
static_assert(offsetof(TS3Functions, getServerConnectionHandlerList) == 96 * sizeof(void*));
static_assert(offsetof(TS3Functions, getConnectionStatus) == 101 * sizeof(void*));
static_assert(offsetof(TS3Functions, getPluginPath) == 182 * sizeof(void*));
static_assert(offsetof(TS3Functions, getCurrentServerConnectionHandlerID) == 183 * sizeof(void*));
static_assert(offsetof(TS3Functions, printMessage) == 184 * sizeof(void*));
static_assert(offsetof(TS3Functions, printMessageToCurrentTab) == 185 * sizeof(void*));
static_assert(offsetof(TS3Functions, createReturnCode) == 191 * sizeof(void*));
static_assert(offsetof(TS3Functions, requestInfoUpdate) == 192 * sizeof(void*));
static_assert(offsetof(TS3Functions, setPluginMenuEnabled) == 197 * sizeof(void*));
