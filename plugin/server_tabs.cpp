#include "plugin/server_tabs.h"

#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "log/log_file.h"

namespace {

// True when the client says `connection` is established. A status the
// client cannot give is logged and taken as not established: one tab the
// client cannot tell us about must not keep the radio from another.
bool IsEstablished(uint64_t connection) {
  int status = STATUS_DISCONNECTED;
  if (g_ts3Functions.getConnectionStatus == nullptr ||
      g_ts3Functions.getConnectionStatus(connection, &status) != kHostOk) {
    LogMessage("FindEstablishedConnection : Error getting connection status", 0);
    return false;
  }
  return status == STATUS_CONNECTION_ESTABLISHED;
}

// An established connection other than `excluded`: the tab the user looks
// at when it is established, else the first established one of the list;
// 0 when there is none or the client cannot list its tabs.
uint64_t FindEstablishedConnection(uint64_t excluded) {
  const uint64_t current = g_ts3Functions.getCurrentServerConnectionHandlerID != nullptr
                               ? g_ts3Functions.getCurrentServerConnectionHandlerID()
                               : 0;
  if (current != 0 && current != excluded && IsEstablished(current)) return current;
  uint64_t* listReceived = nullptr;
  if (g_ts3Functions.getServerConnectionHandlerList == nullptr ||
      g_ts3Functions.getServerConnectionHandlerList(&listReceived) != kHostOk ||
      listReceived == nullptr) {
    LogMessage("FindEstablishedConnection : Error getting server connection list", 0);
    return 0;
  }
  const HostPointer<uint64_t> connections(listReceived);
  for (const uint64_t* connection = connections.get(); *connection != 0; ++connection) {
    if (*connection == excluded || *connection == current) continue;
    if (IsEstablished(*connection)) return *connection;
  }
  return 0;
}

void LogChannelCount() {
  if (g_logFile.Wants(0)) {
    LogMessage(FormatLogMessage("onConnectStatusChangeEvent : Number of channels : %d",
                                g_channelsBase.channelCount()),
               0);
  }
}

}  // namespace

void BuildStoreFrom(uint64_t serverConnectionHandlerID) {
  LogMessage("onConnectStatusChangeEvent : Client connected", 0);
  g_channelsBase.BuildDataBase(serverConnectionHandlerID);
  // Written after every build, a failed one too.
  LogChannelCount();
}

void FollowEstablishedConnection() {
  const uint64_t connection = FindEstablishedConnection(0);
  if (connection != 0) BuildStoreFrom(connection);
}

void OnConnectionLost(uint64_t serverConnectionHandlerID) {
  const auto store = g_channelsBase.Current();
  if (store == nullptr || store->serverConnectionHandlerID != serverConnectionHandlerID) return;
  LogMessage("onConnectStatusChangeEvent : Client disconnected", 0);
  // Emptied before anything is asked of the client: whatever the search
  // meets, no frequency may still go to the lost connection.
  g_channelsBase.Clear();
  const uint64_t other = FindEstablishedConnection(serverConnectionHandlerID);
  if (other != 0) {
    BuildStoreFrom(other);
  } else {
    LogChannelCount();
  }
}
