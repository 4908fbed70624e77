// Loads the plugin library by path and finds its exports by name, as the
// voice client does.
#pragma once

#include <cstdint>
#include <string>

#include "host/ts3_plugin_api.h"

struct PluginExports {
  int (*apiVersion)();
  const char* (*name)();
  const char* (*version)();
  const char* (*author)();
  const char* (*description)();
  void (*setFunctionPointers)(const TS3Functions);
  int (*init)();
  void (*onConnectStatusChangeEvent)(uint64_t, int, unsigned int);
  void (*shutdown)();
  // Optional, from API 21 on: the client hands the plugin its ID.
  void (*registerPluginID)(const char* id);
  // Optional: the channel events the client sends when a plugin has them.
  void (*onNewChannelEvent)(uint64_t connection, uint64_t channel, uint64_t parent);
  void (*onNewChannelCreatedEvent)(uint64_t connection, uint64_t channel, uint64_t parent,
                                   anyID invoker, const char* invokerName,
                                   const char* invokerUniqueIdentifier);
  void (*onDelChannelEvent)(uint64_t connection, uint64_t channel, anyID invoker,
                            const char* invokerName, const char* invokerUniqueIdentifier);
  void (*onUpdateChannelEvent)(uint64_t connection, uint64_t channel);
  void (*onUpdateChannelEditedEvent)(uint64_t connection, uint64_t channel, anyID invoker,
                                     const char* invokerName, const char* invokerUniqueIdentifier);
  // Optional: a chat command, and the server's answers to requests.
  const char* (*commandKeyword)();
  int (*processCommand)(uint64_t connection, const char* command);
  int (*onServerErrorEvent)(uint64_t connection, const char* errorMessage, unsigned int error,
                            const char* returnCode, const char* extraMessage);
  int (*onServerPermissionErrorEvent)(uint64_t connection, const char* errorMessage,
                                      unsigned int error, const char* returnCode,
                                      unsigned int failedPermissionID);
  // Optional: the pilot's controls (menu, hotkeys, info panel) and the
  // release of what the plugin hands to the client.
  void (*freeMemory)(void* data);
  void (*initMenus)(PluginMenuItem*** menuItems, char** menuIcon);
  void (*onMenuItemEvent)(uint64_t connection, PluginMenuType type, int menuItemID,
                          uint64_t selectedItemID);
  void (*initHotkeys)(PluginHotkey*** hotkeys);
  void (*onHotkeyEvent)(const char* keyword);
  const char* (*infoTitle)();
  void (*infoData)(uint64_t connection, uint64_t id, PluginItemType type, char** data);
};

class PluginLibrary {
 public:
  ~PluginLibrary() { Unload(); }

  // False with *error set when the file cannot be loaded or an export is
  // missing.
  bool Load(const std::string& utf8Path, std::string* error);
  void Unload();
  bool loaded() const { return handle_ != nullptr; }
  const PluginExports& exports() const { return exports_; }

 private:
  void* handle_ = nullptr;
  PluginExports exports_{};
};

// Per-platform loader calls (library_win32.cpp, library_posix.cpp).
void* OpenLibrary(const std::string& utf8Path, std::string* error);
void* FindSymbol(void* library, const char* name);
void CloseLibrary(void* library);
// Directory of the running program, ending with a separator.
std::string ProgramDirectory();
// The plugin file name of this platform ("zovik_win64.dll").
const char* PluginFileName();
