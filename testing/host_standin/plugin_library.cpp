#include "testing/host_standin/plugin_library.h"

namespace {

template <typename Function>
void BindOptional(void* library, const char* name, Function* function) {
  *function = reinterpret_cast<Function>(FindSymbol(library, name));
}

template <typename Function>
bool Bind(void* library, const char* name, Function* function, std::string* error) {
  BindOptional(library, name, function);
  if (*function == nullptr) {
    *error = std::string("missing export ") + name;
    return false;
  }
  return true;
}

}  // namespace

bool PluginLibrary::Load(const std::string& utf8Path, std::string* error) {
  Unload();
  void* library = OpenLibrary(utf8Path, error);
  if (library == nullptr) return false;
  PluginExports e{};
  const bool complete =
      Bind(library, "ts3plugin_apiVersion", &e.apiVersion, error) &&
      Bind(library, "ts3plugin_name", &e.name, error) &&
      Bind(library, "ts3plugin_version", &e.version, error) &&
      Bind(library, "ts3plugin_author", &e.author, error) &&
      Bind(library, "ts3plugin_description", &e.description, error) &&
      Bind(library, "ts3plugin_setFunctionPointers", &e.setFunctionPointers, error) &&
      Bind(library, "ts3plugin_init", &e.init, error) &&
      Bind(library, "ts3plugin_onConnectStatusChangeEvent", &e.onConnectStatusChangeEvent,
           error) &&
      Bind(library, "ts3plugin_shutdown", &e.shutdown, error);
  BindOptional(library, "ts3plugin_registerPluginID", &e.registerPluginID);
  BindOptional(library, "ts3plugin_onNewChannelEvent", &e.onNewChannelEvent);
  BindOptional(library, "ts3plugin_onNewChannelCreatedEvent", &e.onNewChannelCreatedEvent);
  BindOptional(library, "ts3plugin_onDelChannelEvent", &e.onDelChannelEvent);
  BindOptional(library, "ts3plugin_onUpdateChannelEvent", &e.onUpdateChannelEvent);
  BindOptional(library, "ts3plugin_onUpdateChannelEditedEvent", &e.onUpdateChannelEditedEvent);
  BindOptional(library, "ts3plugin_commandKeyword", &e.commandKeyword);
  BindOptional(library, "ts3plugin_processCommand", &e.processCommand);
  BindOptional(library, "ts3plugin_onServerErrorEvent", &e.onServerErrorEvent);
  BindOptional(library, "ts3plugin_onServerPermissionErrorEvent", &e.onServerPermissionErrorEvent);
  BindOptional(library, "ts3plugin_freeMemory", &e.freeMemory);
  BindOptional(library, "ts3plugin_initMenus", &e.initMenus);
  BindOptional(library, "ts3plugin_onMenuItemEvent", &e.onMenuItemEvent);
  BindOptional(library, "ts3plugin_initHotkeys", &e.initHotkeys);
  BindOptional(library, "ts3plugin_onHotkeyEvent", &e.onHotkeyEvent);
  BindOptional(library, "ts3plugin_infoTitle", &e.infoTitle);
  BindOptional(library, "ts3plugin_infoData", &e.infoData);
  if (!complete) {
    CloseLibrary(library);
    return false;
  }
  handle_ = library;
  exports_ = e;
  return true;
}

void PluginLibrary::Unload() {
  if (handle_ == nullptr) return;
  CloseLibrary(handle_);
  handle_ = nullptr;
  exports_ = PluginExports{};
}
