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

  auto snapshot = std::make_unique<CDB_snapshot>();
  snapshot->serverConnectionHandlerID = serverConnectionHandlerID;
  bool complete = true;
  {
    // AddCDB_item adds to this snapshot until the scope ends, however it ends.
    building_ = snapshot.get();
    struct EndOfBuild {
      CDB_snapshot*& building;
      ~EndOfBuild() { building = nullptr; }
    } endOfBuild{building_};

    for (const uint64_t* channel = list.get(); *channel != 0; ++channel) {
      char* nameReceived = nullptr;
      if (g_ts3Functions.getChannelVariableAsString == nullptr ||
          g_ts3Functions.getChannelVariableAsString(serverConnectionHandlerID, *channel,
                                                    CHANNEL_NAME, &nameReceived) != kHostOk ||
          nameReceived == nullptr) {
        LogMessage("CChannelsBase::BuildDataBase : Error getting channel name", 0);
        complete = false;
        break;
      }
      const HostPointer<char> name(nameReceived);
      CDB_item item;
      item.name = name.get();
      item.id = *channel;
      AddCDB_item(item);
    }
  }

  // A build cut short is published too, not ready: the records of the
  // previous server must not be switched to any more.
  snapshot->ready = complete;
  Publish(std::move(snapshot));
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
  channelCount_.store(0, std::memory_order_relaxed);
  generation_.fetch_add(1, std::memory_order_acq_rel);
}

void CChannelsBase::Publish(std::unique_ptr<CDB_snapshot> snapshot) {
  for (size_t i = 0; i < snapshot->records.size(); ++i) {
    snapshot->firstByName.emplace(snapshot->records[i].name, i);  // keeps the first
  }
  // The shared owner is allocated before the current store is let go, so
  // running out of memory here leaves that store in place.
  std::shared_ptr<CDB_snapshot> published(std::move(snapshot));
  std::shared_ptr<const CDB_snapshot> old;
  {
    std::lock_guard<std::mutex> guard(currentLock_);
    published->generation = generation_.load(std::memory_order_relaxed) + 1;
    old = std::move(current_);
    current_ = std::move(published);
    channelCount_.store(static_cast<int>(current_->records.size()), std::memory_order_relaxed);
    generation_.store(current_->generation, std::memory_order_release);
  }
  // `old` is released here, or later by the listener if it still holds it.
}
