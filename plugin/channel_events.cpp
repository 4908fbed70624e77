// The client's channel events, which keep the store in step with the server
// while the user is connected: a channel created, deleted or renamed by an
// admin counts for the next frequency. Only the library that answers each
// client its API has them; the fixed API 20 build reads channels when a
// connection is established, as it always did. A channel moved under
// another parent keeps its name, so that event is not taken. A channel the
// own client created may be the answer to a /zovik create.
#include "channels/channels_base.h"
#include "host/ts3_plugin_api.h"
#include "plugin/zovik_chat_command.h"

namespace {

// Nothing may reach the client: without memory the store stays as it was
// published, and the next change reads the whole list.
template <typename Action>
void Guarded(Action action) {
  try {
    action();
  } catch (...) {
  }
}

}  // namespace

// One call per channel while a connection is being established (ignored:
// the build reads them all once it is), and for a channel coming into view.
ZOVIK_EXPORT void ts3plugin_onNewChannelEvent(uint64_t serverConnectionHandlerID,
                                              uint64_t channelID, uint64_t channelParentID) {
  (void)channelParentID;
  Guarded([&] { g_channelsBase.RefreshChannel(serverConnectionHandlerID, channelID); });
}

ZOVIK_EXPORT void ts3plugin_onNewChannelCreatedEvent(uint64_t serverConnectionHandlerID,
                                                     uint64_t channelID, uint64_t channelParentID,
                                                     anyID invokerID, const char* invokerName,
                                                     const char* invokerUniqueIdentifier) {
  (void)channelParentID, (void)invokerName, (void)invokerUniqueIdentifier;
  Guarded([&] { g_channelsBase.RefreshChannel(serverConnectionHandlerID, channelID); });
  Guarded([&] { OnChannelCreatedFor(serverConnectionHandlerID, channelID, invokerID); });
}

ZOVIK_EXPORT void ts3plugin_onDelChannelEvent(uint64_t serverConnectionHandlerID,
                                              uint64_t channelID, anyID invokerID,
                                              const char* invokerName,
                                              const char* invokerUniqueIdentifier) {
  (void)invokerID, (void)invokerName, (void)invokerUniqueIdentifier;
  Guarded([&] { g_channelsBase.RemoveChannel(serverConnectionHandlerID, channelID); });
}

// Any property changed, the name perhaps: reading it tells.
ZOVIK_EXPORT void ts3plugin_onUpdateChannelEvent(uint64_t serverConnectionHandlerID,
                                                 uint64_t channelID) {
  Guarded([&] { g_channelsBase.RefreshChannel(serverConnectionHandlerID, channelID); });
}

ZOVIK_EXPORT void ts3plugin_onUpdateChannelEditedEvent(uint64_t serverConnectionHandlerID,
                                                       uint64_t channelID, anyID invokerID,
                                                       const char* invokerName,
                                                       const char* invokerUniqueIdentifier) {
  (void)invokerID, (void)invokerName, (void)invokerUniqueIdentifier;
  Guarded([&] { g_channelsBase.RefreshChannel(serverConnectionHandlerID, channelID); });
}
