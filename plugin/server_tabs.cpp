#include "plugin/server_tabs.h"

#include "channels/channels_base.h"
#include "host/host_functions.h"
#include "log/log_file.h"

namespace {

enum class Search { kFound, kNone, kQueryFailed };

// 1 established, 0 not, -1 the client could not tell (logged).
int IsEstablished(uint64_t connection) {
  int status = STATUS_DISCONNECTED;
  if (g_ts3Functions.getConnectionStatus == nullptr ||
      g_ts3Functions.getConnectionStatus(connection, &status) != kHostOk) {
    LogMessage("FindEstablishedConnection : Error getting connection status", 0);
    return -1;
  }
  return status == STATUS_CONNECTION_ESTABLISHED ? 1 : 0;
}

// An established connection other than `excluded`: the tab the user looks
// at when it is established, else the first established one of the list.
Search FindEstablishedConnection(uint64_t excluded, uint64_t* found) {
  const uint64_t current = g_ts3Functions.getCurrentServerConnectionHandlerID != nullptr
                               ? g_ts3Functions.getCurrentServerConnectionHandlerID()
                               : 0;
  if (current != 0 && current != excluded) {
    const int established = IsEstablished(current);
    if (established < 0) return Search::kQueryFailed;
    if (established == 1) {
      *found = current;
      return Search::kFound;
    }
  }
  uint64_t* listReceived = nullptr;
  if (g_ts3Functions.getServerConnectionHandlerList == nullptr ||
      g_ts3Functions.getServerConnectionHandlerList(&listReceived) != kHostOk ||
      listReceived == nullptr) {
    LogMessage("FindEstablishedConnection : Error getting server connection list", 0);
    return Search::kQueryFailed;
  }
  const HostPointer<uint64_t> connections(listReceived);
  for (const uint64_t* connection = connections.get(); *connection != 0; ++connection) {
    if (*connection == excluded || *connection == current) continue;
    const int established = IsEstablished(*connection);
    if (established < 0) return Search::kQueryFailed;
    if (established == 1) {
      *found = *connection;
      return Search::kFound;
    }
  }
  return Search::kNone;
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
  uint64_t connection = 0;
  if (FindEstablishedConnection(0, &connection) == Search::kFound) BuildStoreFrom(connection);
}

void OnConnectionLost(uint64_t serverConnectionHandlerID) {
  const auto store = g_channelsBase.Current();
  if (store == nullptr || store->serverConnectionHandlerID != serverConnectionHandlerID) return;
  uint64_t other = 0;
  const Search search = FindEstablishedConnection(serverConnectionHandlerID, &other);
  // Without an answer from the client the store stays as it is.
  if (search == Search::kQueryFailed) return;
  LogMessage("onConnectStatusChangeEvent : Client disconnected", 0);
  // Emptied first: should the next build fail, no frequency may still go to
  // the lost connection.
  g_channelsBase.Clear();
  if (search == Search::kFound) {
    BuildStoreFrom(other);
  } else {
    LogChannelCount();
  }
}
