#include "channels/channels_base.h"

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

const CDB_item* CDB_snapshot::FindFirst(std::string_view name) const {
  const auto found = firstByName.find(name);
  return found == firstByName.end() ? nullptr : &records[found->second];
}

int CChannelsBase::BuildDataBase(uint64_t serverConnectionHandlerID) {
  uint64_t* list = nullptr;
  if (g_ts3Functions.getChannelList == nullptr ||
      g_ts3Functions.getChannelList(serverConnectionHandlerID, &list) != kHostOk ||
      list == nullptr) {
    LogMessage("CChannelsBase::BuildDataBase : Error getting channel list", 0);
    return -1;
  }
  if (list[0] == 0) {
    LogMessage("CChannelsBase::BuildDataBase : No channels", 0);
    if (g_ts3Functions.freeMemory != nullptr) g_ts3Functions.freeMemory(list);
    return -1;
  }

  building_ = std::make_unique<CDB_snapshot>();
  building_->serverConnectionHandlerID = serverConnectionHandlerID;
  channelCount_.store(0, std::memory_order_relaxed);
  bool complete = true;
  for (const uint64_t* channel = list; *channel != 0; ++channel) {
    char* name = nullptr;
    if (g_ts3Functions.getChannelVariableAsString == nullptr ||
        g_ts3Functions.getChannelVariableAsString(serverConnectionHandlerID, *channel,
                                                  CHANNEL_NAME, &name) != kHostOk ||
        name == nullptr) {
      LogMessage("CChannelsBase::BuildDataBase : Error getting channel name", 0);
      complete = false;
      break;
    }
    CDB_item item;
    item.name = name;
    item.id = *channel;
    AddCDB_item(item);
    if (g_ts3Functions.freeMemory != nullptr) g_ts3Functions.freeMemory(name);
  }
  if (g_ts3Functions.freeMemory != nullptr) g_ts3Functions.freeMemory(list);

  // A build cut short is published too, not ready: the records of the
  // previous server must not be switched to any more.
  building_->ready = complete;
  Publish(std::move(building_));
  return channelCount();
}

int CChannelsBase::AddCDB_item(const CDB_item& item) {
  building_->records.push_back(item);
  const int count = static_cast<int>(building_->records.size());
  channelCount_.store(count, std::memory_order_relaxed);
  if (g_logFile.Wants(4)) {
    LogMessage(NewChannelMessage(item.name, g_logFile.Wants(5)), 4);
  }
  return count;
}

int CChannelsBase::SwitchChannel(uint64_t serverConnectionHandlerID, const CDB_item& record) {
  anyID ownClient = 0;
  if (g_ts3Functions.getClientID == nullptr ||
      g_ts3Functions.getClientID(serverConnectionHandlerID, &ownClient) != kHostOk) {
    LogMessage("CChannelsBase::SwitchChannel : Error querying own client ID", 0);
    return 0;
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
  building_.reset();
  channelCount_.store(0, std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_acq_rel);
}

void CChannelsBase::Publish(std::unique_ptr<CDB_snapshot> snapshot) {
  for (size_t i = 0; i < snapshot->records.size(); ++i) {
    snapshot->firstByName.emplace(snapshot->records[i].name, i);  // keeps the first
  }
  std::shared_ptr<const CDB_snapshot> old;
  {
    std::lock_guard<std::mutex> guard(currentLock_);
    snapshot->generation = generation_.load(std::memory_order_relaxed) + 1;
    old = std::move(current_);
    current_ = std::move(snapshot);
    generation_.store(current_->generation, std::memory_order_release);
  }
  // `old` is released here, or later by the listener if it still holds it.
}
