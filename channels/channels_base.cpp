#include "channels/channels_base.h"

#include <string>
#include <string_view>
#include <utility>

#include "host/host_functions.h"
#include "log/log_file.h"

CChannelsBase g_channelsBase;

namespace {

// "CChannelsBase::AddCDB_item : new channel : [name]" and, at level 5, every
// byte of the name as "XX:". Grows with the name: no name is too long for it.
std::string NewChannelMessage(std::string_view name, bool withByteDump) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string message = "CChannelsBase::AddCDB_item : new channel : [";
  message.reserve(message.size() + name.size() * (withByteDump ? 4 : 1) + 1);
  message.append(name);
  message.push_back(']');
  if (withByteDump) {
    for (char c : name) {
      const auto byte = static_cast<unsigned char>(c);
      message.push_back(kHex[byte >> 4]);
      message.push_back(kHex[byte & 0x0F]);
      message.push_back(':');
    }
  }
  return message;
}

}  // namespace

int CChannelsBase::BuildDataBase(uint64_t serverConnectionHandlerID) {
  uint64_t* listReceived = nullptr;
  if (g_ts3Functions.getChannelList == nullptr ||
      g_ts3Functions.getChannelList(serverConnectionHandlerID, &listReceived) != kHostOk ||
      listReceived == nullptr) {
    LogMessage("CChannelsBase::BuildDataBase : Error getting channel list", 0);
    return -1;
  }
  const HostPointer<uint64_t> list(listReceived);
  if (list.get()[0] == 0) {
    LogMessage("CChannelsBase::BuildDataBase : No channels", 0);
    return -1;
  }

  auto table = std::make_shared<CDB_table>();
  bool complete = true;
  {
    // AddCDB_item adds to this table until the scope ends, however it ends.
    building_ = table.get();
    struct EndOfBuild {
      CDB_table*& building;
      ~EndOfBuild() { building = nullptr; }
    } endOfBuild{building_};

    for (const uint64_t* channel = list.get(); *channel != 0; ++channel) {
      CDB_item item;
      if (!HostGetChannelName(serverConnectionHandlerID, *channel, &item.name)) {
        LogMessage("CChannelsBase::BuildDataBase : Error getting channel name", 0);
        complete = false;
        break;
      }
      item.id = *channel;
      AddCDB_item(item);
    }
  }
  table->Index();

  // A build cut short is published too, not ready: the records of the
  // previous server must not be switched to any more.
  LiveChannels live(std::move(table));
  Publish(live, serverConnectionHandlerID, complete, builds_ + 1);
  live_ = std::move(live);
  followed_ = serverConnectionHandlerID;
  ++builds_;
  rebuildNeeded_ = false;
  return channelCount();
}

int CChannelsBase::AddCDB_item(const CDB_item& item) {
  // Outside a build there is nothing to add to: a published store is read by
  // the listener without a lock and never changes.
  if (building_ == nullptr) return channelCount();
  building_->records.push_back(item);
  if (g_logFile.Wants(4)) {
    LogMessage(NewChannelMessage(item.name, g_logFile.Wants(5)), 4);
  }
  return static_cast<int>(building_->records.size());
}

void CChannelsBase::RefreshChannel(uint64_t serverConnectionHandlerID, uint64_t channelID) {
  if (followed_ == 0 || serverConnectionHandlerID != followed_) return;
  if (rebuildNeeded_) {
    BuildDataBase(serverConnectionHandlerID);
    return;
  }
  std::string name;
  if (!HostGetChannelName(serverConnectionHandlerID, channelID, &name)) {
    // A channel the client cannot name is no channel to move anyone into.
    LogMessage("CChannelsBase::RefreshChannel : Error getting channel name", 0);
    RemoveChannel(serverConnectionHandlerID, channelID);
    return;
  }
  PublishLiveChange([&] { return live_.Set(channelID, name); }, channelID, name);
}

void CChannelsBase::RemoveChannel(uint64_t serverConnectionHandlerID, uint64_t channelID) {
  if (followed_ == 0 || serverConnectionHandlerID != followed_) return;
  if (rebuildNeeded_) {
    BuildDataBase(serverConnectionHandlerID);
    return;
  }
  PublishLiveChange([&] { return live_.Remove(channelID); }, channelID, {});
}

template <typename Change>
void CChannelsBase::PublishLiveChange(Change change, uint64_t channelID, std::string_view name) {
  LiveChange done = LiveChange::kNone;
  try {
    done = change();
    if (done == LiveChange::kNone) return;
    const auto current = Current();
    Publish(live_, followed_, current != nullptr && current->ready,
            current != nullptr ? current->build : builds_);
  } catch (...) {
    // Out of memory halfway: what was published stays, but live_ may have
    // moved on from it.
    rebuildNeeded_ = true;
    throw;
  }
  if (!g_logFile.Wants(4)) return;
  const auto id = static_cast<unsigned long long>(channelID);
  if (done == LiveChange::kAdded) {
    LogMessage(NewChannelMessage(name, g_logFile.Wants(5)), 4);
  } else if (done == LiveChange::kRenamed) {
    std::string message =
        FormatLogMessage("CChannelsBase::RefreshChannel : channel %llu renamed : [", id);
    message.append(name);
    message.push_back(']');
    LogMessage(message, 4);
  } else {
    LogMessage(FormatLogMessage("CChannelsBase::RemoveChannel : channel %llu removed", id), 4);
  }
}

int CChannelsBase::SwitchChannel(uint64_t serverConnectionHandlerID, const CDB_item& record,
                                 anyID* ownClientOut, uint64_t* channelBefore) {
  anyID ownClient = 0;
  if (g_ts3Functions.getClientID == nullptr ||
      g_ts3Functions.getClientID(serverConnectionHandlerID, &ownClient) != kHostOk) {
    LogMessage("CChannelsBase::SwitchChannel : Error querying own client ID", 0);
    return 0;
  }
  if (ownClientOut != nullptr) *ownClientOut = ownClient;
  if (channelBefore != nullptr &&
      (g_ts3Functions.getChannelOfClient == nullptr ||
       g_ts3Functions.getChannelOfClient(serverConnectionHandlerID, ownClient, channelBefore) !=
           kHostOk)) {
    *channelBefore = 0;
  }
  if (g_ts3Functions.requestClientMove == nullptr ||
      g_ts3Functions.requestClientMove(serverConnectionHandlerID, ownClient, record.id, "",
                                       nullptr) != kHostOk) {
    LogMessage("CChannelsBase::SwitchChannel : Error moving client into channel channel", 0);
    return 0;
  }
  if (g_logFile.Wants(3)) {
    LogMessage(FormatLogMessage("CChannelsBase::SwitchChannel : Switching into channel %llu",
                                static_cast<unsigned long long>(record.id)),
               3);
  }
  return 1;
}

std::shared_ptr<const CDB_snapshot> CChannelsBase::Current() const {
  std::lock_guard<std::mutex> guard(currentLock_);
  return current_;
}

int CChannelsBase::ready() const {
  const auto snapshot = Current();
  return snapshot != nullptr && snapshot->ready ? 1 : 0;
}

void CChannelsBase::Clear() {
  std::shared_ptr<const CDB_snapshot> old;
  {
    std::lock_guard<std::mutex> guard(currentLock_);
    old.swap(current_);
  }
  channelCount_.store(0, std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_acq_rel);
  live_ = LiveChannels();
  followed_ = 0;
  rebuildNeeded_ = false;
}

void CChannelsBase::Publish(const LiveChannels& live, uint64_t serverConnectionHandlerID,
                            bool ready, uint64_t build) {
  auto snapshot = std::make_shared<CDB_snapshot>();
  snapshot->serverConnectionHandlerID = serverConnectionHandlerID;
  snapshot->ready = ready;
  snapshot->build = build;
  snapshot->channelCount = live.count();
  snapshot->table = live.table();
  snapshot->answers = live.answers();
  snapshot->answerCount = live.answersInNewestChunk();
  std::shared_ptr<const CDB_snapshot> old;
  {
    std::lock_guard<std::mutex> guard(currentLock_);
    snapshot->generation = generation_.load(std::memory_order_relaxed) + 1;
    old = std::move(current_);
    current_ = std::move(snapshot);
    channelCount_.store(current_->channelCount, std::memory_order_relaxed);
    generation_.store(current_->generation, std::memory_order_release);
  }
  // `old` is released here, or later by the listener if it still holds it.
}
