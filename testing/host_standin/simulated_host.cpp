#include "testing/host_standin/simulated_host.h"

#include "testing/host_standin/plugin_library.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

constexpr const char* kFunctionNames[] = {"getChannelList",
                                          "getChannelVariableAsString",
                                          "getClientID",
                                          "requestClientMove",
                                          "getServerConnectionHandlerList",
                                          "getConnectionStatus"};
static_assert(std::size(kFunctionNames) == static_cast<size_t>(HostFunction::kCount));

int Index(HostFunction function) { return static_cast<int>(function); }

}  // namespace

const char* HostFunctionName(HostFunction function) { return kFunctionNames[Index(function)]; }

bool HostFunctionFromName(const std::string& name, HostFunction* function) {
  for (int i = 0; i < Index(HostFunction::kCount); ++i) {
    if (name == kFunctionNames[i]) {
      *function = static_cast<HostFunction>(i);
      return true;
    }
  }
  return false;
}

SimulatedHost& SimulatedHost::Instance() {
  static SimulatedHost host;
  return host;
}

void SimulatedHost::Reset() {
  std::lock_guard<std::mutex> guard(stateLock_);
  connections_.clear();
  currentConnection_ = 0;
  ownClientID_ = 7;
  for (Failure& failure : failures_) failure = Failure{};
  failureRate_ = 0;
  moves_.clear();
  onMove_ = nullptr;
  chat_.clear();
  onChat_ = nullptr;
  flushes_.clear();
  answers_.clear();
  returnCodes_ = 0;
  menuEnabled_.clear();
  infoUpdates_ = 0;
  registerIDAfterInit_ = false;
  // Memory still held by a plugin stays counted until it is released.
  foreignFrees_ = 0;
  pluginIdMismatches_ = 0;
  expectedPluginID_ = kStandInPluginID;
}

TS3Functions SimulatedHost::FunctionTable(const ClientProfile& client) const {
  TS3Functions table{};
  table.freeMemory = &FreeMemory;
  table.requestClientMove = &RequestClientMove;
  table.getClientID = &GetClientID;
  table.getChannelVariableAsString = &GetChannelVariableAsString;
  table.getChannelList = &GetChannelList;
  table.getServerConnectionHandlerList = &GetServerConnectionHandlerList;
  table.getConnectionStatus = &GetConnectionStatus;
  table.getCurrentServerConnectionHandlerID = &GetCurrentServerConnectionHandlerID;
  table.printMessage = &PrintMessage;
  table.printMessageToCurrentTab = &PrintMessageToCurrentTab;
  table.getChannelOfClient = &GetChannelOfClient;
  table.setChannelVariableAsInt = &SetChannelVariableAsInt;
  table.setChannelVariableAsString = &SetChannelVariableAsString;
  table.flushChannelCreation = &FlushChannelCreation;
  table.createReturnCode = &CreateReturnCode;
  table.requestInfoUpdate = &RequestInfoUpdate;
  table.setPluginMenuEnabled = &SetPluginMenuEnabled;
  table.getPluginPath = client.UsesPluginID()
                            ? reinterpret_cast<HostSlot>(&GetPluginPathWithID)
                            : reinterpret_cast<HostSlot>(&GetPluginPathWithoutID);
  return table;
}

void SimulatedHost::SetPluginPath(const std::string& path) {
  std::lock_guard<std::mutex> guard(stateLock_);
  pluginPath_ = path;
}

void SimulatedHost::SetExpectedPluginID(const std::string& id) {
  std::lock_guard<std::mutex> guard(stateLock_);
  expectedPluginID_ = id;
}

int SimulatedHost::PluginIdMismatches() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return pluginIdMismatches_;
}

void SimulatedHost::SetChannels(uint64_t connection, std::vector<SimulatedChannel> channels) {
  std::lock_guard<std::mutex> guard(stateLock_);
  Connection& entry = connections_[connection];
  entry.channels = std::move(channels);
  // A new connection puts the client in the server's first (default) channel.
  entry.currentChannel = entry.channels.empty() ? 0 : entry.channels.front().id;
}

void SimulatedHost::Establish(uint64_t connection, std::vector<SimulatedChannel> channels) {
  SetChannels(connection, std::move(channels));
  SetConnectionStatus(connection, STATUS_CONNECTION_ESTABLISHED);
}

void SimulatedHost::RemoveConnection(uint64_t connection) {
  std::lock_guard<std::mutex> guard(stateLock_);
  connections_.erase(connection);
}

void SimulatedHost::SetConnectionStatus(uint64_t connection, int status) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  if (found != connections_.end()) found->second.status = status;
}

bool SimulatedHost::AddChannel(uint64_t connection, const SimulatedChannel& channel) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return false;
  auto& channels = found->second.channels;
  for (const SimulatedChannel& existing : channels) {
    if (existing.id == channel.id) return false;
  }
  channels.push_back(channel);
  return true;
}

bool SimulatedHost::RenameChannel(uint64_t connection, uint64_t id, const std::string& name) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return false;
  for (SimulatedChannel& channel : found->second.channels) {
    if (channel.id != id) continue;
    channel.name = name;
    return true;
  }
  return false;
}

bool SimulatedHost::DeleteChannel(uint64_t connection, uint64_t id) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return false;
  Connection& entry = found->second;
  const auto channel = std::find_if(entry.channels.begin(), entry.channels.end(),
                                    [&](const SimulatedChannel& c) { return c.id == id; });
  if (channel == entry.channels.end()) return false;
  entry.channels.erase(channel);
  if (entry.currentChannel == id) {
    entry.currentChannel = entry.channels.empty() ? 0 : entry.channels.front().id;
  }
  return true;
}

std::vector<uint64_t> SimulatedHost::ChannelIds(uint64_t connection) {
  std::lock_guard<std::mutex> guard(stateLock_);
  std::vector<uint64_t> ids;
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return ids;
  for (const SimulatedChannel& channel : found->second.channels) ids.push_back(channel.id);
  return ids;
}

void SimulatedHost::SetCreatePermission(uint64_t connection, bool allowed) {
  std::lock_guard<std::mutex> guard(stateLock_);
  connections_[connection].mayCreate = allowed;
}

std::vector<CreationFlush> SimulatedHost::CreationFlushes() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return flushes_;
}

bool SimulatedHost::TakeServerAnswer(ServerAnswer* answer) {
  std::lock_guard<std::mutex> guard(stateLock_);
  if (answers_.empty()) return false;
  *answer = std::move(answers_.front());
  answers_.pop_front();
  return true;
}

void SimulatedHost::SetCurrentConnection(uint64_t connection) {
  std::lock_guard<std::mutex> guard(stateLock_);
  currentConnection_ = connection;
}

void SimulatedHost::SetOwnClientID(anyID id) {
  std::lock_guard<std::mutex> guard(stateLock_);
  ownClientID_ = id;
}

uint64_t SimulatedHost::CurrentChannel(uint64_t connection) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  return found == connections_.end() ? 0 : found->second.currentChannel;
}

std::string SimulatedHost::ChannelName(uint64_t connection, uint64_t id) {
  std::lock_guard<std::mutex> guard(stateLock_);
  const auto found = connections_.find(connection);
  if (found == connections_.end()) return {};
  for (const SimulatedChannel& channel : found->second.channels) {
    if (channel.id == id) return channel.name;
  }
  return {};
}

void SimulatedHost::FailAlways(HostFunction function, bool fail) {
  std::lock_guard<std::mutex> guard(stateLock_);
  failures_[Index(function)].always = fail;
}

void SimulatedHost::FailNext(HostFunction function, int count) {
  std::lock_guard<std::mutex> guard(stateLock_);
  failures_[Index(function)].next = count;
}

void SimulatedHost::FailAfter(HostFunction function, int successes) {
  std::lock_guard<std::mutex> guard(stateLock_);
  failures_[Index(function)].succeedBeforeFailing = successes;
}

void SimulatedHost::SetFailureRate(double rate, uint32_t seed) {
  std::lock_guard<std::mutex> guard(stateLock_);
  failureRate_ = rate;
  random_.seed(seed);
}

int SimulatedHost::FailuresInjected(HostFunction function) {
  std::lock_guard<std::mutex> guard(stateLock_);
  return failures_[Index(function)].injected;
}

int SimulatedHost::Calls(HostFunction function) {
  std::lock_guard<std::mutex> guard(stateLock_);
  return failures_[Index(function)].calls;
}

void SimulatedHost::OnMove(std::function<void(const MoveRequest&)> callback) {
  std::lock_guard<std::mutex> guard(stateLock_);
  onMove_ = std::move(callback);
}

std::vector<MoveRequest> SimulatedHost::Moves() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return moves_;
}

bool SimulatedHost::WaitForMoves(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(stateLock_);
  return moved_.wait_for(guard, timeout, [&] { return moves_.size() >= count; });
}

void SimulatedHost::OnChat(std::function<void(const ChatLine&)> callback) {
  std::lock_guard<std::mutex> guard(stateLock_);
  onChat_ = std::move(callback);
}

std::vector<ChatLine> SimulatedHost::ChatLines() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return chat_;
}

bool SimulatedHost::WaitForChatLines(size_t count, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> guard(stateLock_);
  return printed_.wait_for(guard, timeout, [&] { return chat_.size() >= count; });
}

int SimulatedHost::OutstandingAllocations() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return static_cast<int>(allocations_.size());
}

int SimulatedHost::ForeignFrees() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return foreignFrees_;
}

bool SimulatedHost::ShouldFail(HostFunction function) {
  Failure& failure = failures_[Index(function)];
  ++failure.calls;
  bool fail = failure.always;
  if (!fail && failure.next > 0) {
    --failure.next;
    fail = true;
  }
  if (!fail && failure.succeedBeforeFailing == 0) fail = true;
  if (failure.succeedBeforeFailing > 0) --failure.succeedBeforeFailing;
  if (!fail && failureRate_ > 0) {
    fail = std::uniform_real_distribution<double>(0, 1)(random_) < failureRate_;
  }
  if (fail) ++failure.injected;
  return fail;
}

void* SimulatedHost::Allocate(size_t bytes) {
  void* memory = std::malloc(bytes);
  if (memory != nullptr) allocations_.insert(memory);
  return memory;
}

unsigned int SimulatedHost::FreeMemory(void* pointer) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.allocations_.erase(pointer) == 0) {
    ++host.foreignFrees_;
    return kSimulatedError;
  }
  std::free(pointer);
  return kHostOk;
}

unsigned int SimulatedHost::RequestClientMove(uint64_t connection, anyID client, uint64_t channel,
                                              const char* password, const char* returnCode) {
  SimulatedHost& host = Instance();
  MoveRequest move;
  std::function<void(const MoveRequest&)> callback;
  {
    std::lock_guard<std::mutex> guard(host.stateLock_);
    if (host.ShouldFail(HostFunction::kRequestClientMove)) return kSimulatedError;
    const auto found = host.connections_.find(connection);
    if (found == host.connections_.end() || client != host.ownClientID_ ||
        found->second.status != STATUS_CONNECTION_ESTABLISHED) {
      return kSimulatedError;
    }
    Connection& entry = found->second;
    const SimulatedChannel* target = nullptr;
    for (const SimulatedChannel& candidate : entry.channels) {
      if (candidate.id == channel) target = &candidate;
    }
    if (target == nullptr) return kSimulatedError;  // deleted on the server
    entry.currentChannel = channel;
    move = MoveRequest{connection, client, channel, target->name,
                       password == nullptr ? std::string("(null)") : std::string(password),
                       returnCode != nullptr, std::chrono::steady_clock::now()};
    callback = host.onMove_;
  }
  // The observer prints before any waiter can count the move: a script that
  // waits for it then reads its line in order.
  if (callback) callback(move);
  {
    std::lock_guard<std::mutex> guard(host.stateLock_);
    host.moves_.push_back(move);
  }
  host.moved_.notify_all();
  return kHostOk;
}

unsigned int SimulatedHost::GetClientID(uint64_t connection, anyID* result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.ShouldFail(HostFunction::kGetClientID)) return kSimulatedError;
  // Like the client, which has no own client on a tab that is not connected.
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end() || found->second.status != STATUS_CONNECTION_ESTABLISHED) {
    return kSimulatedError;
  }
  *result = host.ownClientID_;
  return kHostOk;
}

unsigned int SimulatedHost::GetChannelVariableAsString(uint64_t connection, uint64_t channel,
                                                       size_t flag, char** result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.ShouldFail(HostFunction::kGetChannelVariableAsString)) return kSimulatedError;
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end() || flag != CHANNEL_NAME) return kSimulatedError;
  for (const SimulatedChannel& candidate : found->second.channels) {
    if (candidate.id != channel) continue;
    char* text = static_cast<char*>(host.Allocate(candidate.name.size() + 1));
    if (text == nullptr) return kSimulatedError;
    std::memcpy(text, candidate.name.c_str(), candidate.name.size() + 1);
    *result = text;
    return kHostOk;
  }
  return kSimulatedError;
}

unsigned int SimulatedHost::GetChannelList(uint64_t connection, uint64_t** result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.ShouldFail(HostFunction::kGetChannelList)) return kSimulatedError;
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end()) return kSimulatedError;
  const auto& channels = found->second.channels;
  auto* list = static_cast<uint64_t*>(host.Allocate((channels.size() + 1) * sizeof(uint64_t)));
  if (list == nullptr) return kSimulatedError;
  for (size_t i = 0; i < channels.size(); ++i) list[i] = channels[i].id;
  list[channels.size()] = 0;
  *result = list;
  return kHostOk;
}

unsigned int SimulatedHost::GetServerConnectionHandlerList(uint64_t** result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.ShouldFail(HostFunction::kGetServerConnectionHandlerList)) return kSimulatedError;
  auto* list =
      static_cast<uint64_t*>(host.Allocate((host.connections_.size() + 1) * sizeof(uint64_t)));
  if (list == nullptr) return kSimulatedError;
  size_t i = 0;
  for (const auto& entry : host.connections_) list[i++] = entry.first;
  list[i] = 0;
  *result = list;
  return kHostOk;
}

unsigned int SimulatedHost::GetConnectionStatus(uint64_t connection, int* result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (host.ShouldFail(HostFunction::kGetConnectionStatus)) return kSimulatedError;
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end()) return kSimulatedError;
  *result = found->second.status;
  return kHostOk;
}

std::map<int, bool> SimulatedHost::MenuEnabled() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return menuEnabled_;
}

int SimulatedHost::InfoUpdateRequests() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return infoUpdates_;
}

void SimulatedHost::SetRegisterIDAfterInit(bool after) {
  std::lock_guard<std::mutex> guard(stateLock_);
  registerIDAfterInit_ = after;
}

bool SimulatedHost::RegisterIDAfterInit() {
  std::lock_guard<std::mutex> guard(stateLock_);
  return registerIDAfterInit_;
}

unsigned int SimulatedHost::RequestInfoUpdate(uint64_t connection, PluginItemType type,
                                              uint64_t id) {
  (void)connection;
  (void)type;
  (void)id;
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  ++host.infoUpdates_;
  return kHostOk;
}

void SimulatedHost::SetPluginMenuEnabled(const char* pluginID, int menuID, int enabled) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  // The client ignores a call without the plugin's own ID.
  if (pluginID == nullptr || host.expectedPluginID_ != pluginID) return;
  host.menuEnabled_[menuID] = enabled != 0;
}

unsigned int SimulatedHost::GetChannelOfClient(uint64_t connection, anyID client,
                                               uint64_t* result) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end() || client != host.ownClientID_ ||
      found->second.status != STATUS_CONNECTION_ESTABLISHED) {
    return kSimulatedError;
  }
  *result = found->second.currentChannel;
  return kHostOk;
}

unsigned int SimulatedHost::SetChannelVariableAsInt(uint64_t connection, uint64_t channel,
                                                    size_t flag, int value) {
  return SetChannelVariableAsString(connection, channel, flag, std::to_string(value).c_str());
}

unsigned int SimulatedHost::SetChannelVariableAsString(uint64_t connection, uint64_t channel,
                                                       size_t flag, const char* value) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  const auto found = host.connections_.find(connection);
  // Only a channel about to be created is played.
  if (found == host.connections_.end() || channel != 0 || value == nullptr) return kSimulatedError;
  found->second.newChannel[flag] = value;
  return kHostOk;
}

unsigned int SimulatedHost::FlushChannelCreation(uint64_t connection, uint64_t parent,
                                                 const char* returnCode) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  const auto found = host.connections_.find(connection);
  if (found == host.connections_.end() || found->second.status != STATUS_CONNECTION_ESTABLISHED) {
    return kSimulatedError;
  }
  host.CreateChannel(connection, parent, returnCode);
  found->second.newChannel.clear();
  return kHostOk;
}

void SimulatedHost::CreateChannel(uint64_t connection, uint64_t parent, const char* returnCode) {
  Connection& entry = connections_[connection];
  const auto property = [&](size_t flag) {
    const auto value = entry.newChannel.find(flag);
    return value == entry.newChannel.end() ? std::string() : value->second;
  };
  CreationFlush flush{connection,
                      parent,
                      property(CHANNEL_NAME),
                      property(CHANNEL_FLAG_PERMANENT),
                      returnCode == nullptr ? "(null)" : returnCode,
                      answers_.size(),
                      kHostOk,
                      0};
  ServerAnswer answer;
  answer.connection = connection;
  answer.error = kHostOk;
  answer.message = "ok";
  answer.returnCode = returnCode == nullptr ? "" : returnCode;
  answer.channel = 0;
  answer.parent = parent;
  answer.name = flush.name;
  // The server knows the channels it created before the client is told.
  std::vector<SimulatedChannel> known = entry.channels;
  for (const ServerAnswer& earlier : answers_) {
    if (earlier.connection == connection && earlier.error == kHostOk) {
      known.push_back({earlier.channel, earlier.name, earlier.parent});
    }
  }
  uint64_t largest = 0;
  for (const SimulatedChannel& channel : known) {
    largest = std::max(largest, channel.id);
    // The server refuses a second channel of one name under one parent.
    if (channel.parent == parent && channel.name == flush.name) {
      answer.error = kChannelNameInUse;
      answer.message = kChannelNameInUseText;
    }
  }
  if (!entry.mayCreate) {
    answer.error = kInsufficientPermissions;
    answer.message = kInsufficientPermissionsText;
  }
  if (answer.error == kHostOk) answer.channel = largest + 1;
  flush.error = answer.error;
  flush.channel = answer.channel;
  flushes_.push_back(std::move(flush));
  answers_.push_back(std::move(answer));
}

void SimulatedHost::CreateReturnCode(const char* pluginID, char* returnCode, size_t maxLen) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (maxLen == 0) return;
  // Like the client's, the code carries the plugin's ID: its answer goes back to that plugin.
  const std::string code = pluginID == nullptr || *pluginID == '\0'
                               ? std::string()
                               : std::string(pluginID) + ":" + std::to_string(++host.returnCodes_);
  const size_t length = std::min(code.size(), maxLen - 1);
  std::memcpy(returnCode, code.data(), length);
  returnCode[length] = '\0';
}

uint64_t SimulatedHost::GetCurrentServerConnectionHandlerID() {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  return host.currentConnection_;
}

void SimulatedHost::Print(ChatLine line) {
  std::function<void(const ChatLine&)> callback;
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    callback = onChat_;
  }
  // As for moves: the line is printed before a waiter can count it.
  if (callback) callback(line);
  {
    std::lock_guard<std::mutex> guard(stateLock_);
    chat_.push_back(std::move(line));
  }
  printed_.notify_all();
}

void SimulatedHost::PrintMessage(uint64_t connection, const char* message, int target) {
  Instance().Print({connection, target, message == nullptr ? "(null)" : message});
}

void SimulatedHost::PrintMessageToCurrentTab(const char* message) {
  SimulatedHost& host = Instance();
  host.Print({GetCurrentServerConnectionHandlerID(), kCurrentTabChat,
              message == nullptr ? "(null)" : message});
}

void SimulatedHost::CopyPluginPath(char* path, size_t maxLen) {
  const size_t length = std::min(pluginPath_.size(), maxLen - 1);
  std::memcpy(path, pluginPath_.data(), length);
  path[length] = '\0';
}

void SimulatedHost::GetPluginPathWithoutID(char* path, size_t maxLen) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (maxLen != 0) host.CopyPluginPath(path, maxLen);
}

void SimulatedHost::GetPluginPathWithID(char* path, size_t maxLen, const char* pluginID) {
  SimulatedHost& host = Instance();
  std::lock_guard<std::mutex> guard(host.stateLock_);
  if (maxLen == 0) return;
  if (pluginID == nullptr || host.expectedPluginID_ != pluginID) {
    ++host.pluginIdMismatches_;
    path[0] = '\0';
    return;
  }
  host.CopyPluginPath(path, maxLen);
}

namespace {

// Slots the client appended to its table after API 20; the plugin never
// calls them.
void SlotNotDeclaredByThePlugin() { std::abort(); }

// The client's table as long as that client's: the declared part, then the
// slots appended by later APIs. The client passes it by value; the plugin
// reads the part it declares.
template <size_t kSlots>
void PassTable(const PluginExports& plugin, const TS3Functions& declared) {
  static_assert(kSlots >= kTS3FunctionsSlots);
  struct ClientTable {
    HostSlot slots[kSlots];
  } table;
  std::memcpy(table.slots, &declared, sizeof declared);
  for (size_t i = kTS3FunctionsSlots; i < kSlots; ++i) table.slots[i] = &SlotNotDeclaredByThePlugin;
  using TakesClientTable = void (*)(ClientTable);
  reinterpret_cast<TakesClientTable>(reinterpret_cast<void (*)()>(plugin.setFunctionPointers))(
      table);
}

}  // namespace

bool HandOverToPlugin(const PluginExports& plugin, const ClientProfile& client,
                      std::string* error) {
  // The client lists the plugin by these before anything else.
  if (plugin.name() == nullptr || plugin.version() == nullptr || plugin.author() == nullptr ||
      plugin.description() == nullptr) {
    *error = "an identity export returned no text";
    return false;
  }
  const int api = plugin.apiVersion();
  if (!client.Accepts(api)) {
    *error = client.Refusal(api);
    return false;
  }
  const TS3Functions declared = SimulatedHost::Instance().FunctionTable(client);
  switch (client.tableSlots) {
    case 209: PassTable<209>(plugin, declared); break;
    case 210: PassTable<210>(plugin, declared); break;
    case 226: PassTable<226>(plugin, declared); break;
    case 230: PassTable<230>(plugin, declared); break;
    default:
      *error = "no client has a table of " + std::to_string(client.tableSlots) + " slots";
      return false;
  }
  if (client.UsesPluginID()) {
    if (plugin.registerPluginID == nullptr) {
      *error = "missing export ts3plugin_registerPluginID";
      return false;
    }
    // Otherwise the script's init registers it once ts3plugin_init returned.
    if (!SimulatedHost::Instance().RegisterIDAfterInit()) plugin.registerPluginID(kStandInPluginID);
  }
  return true;
}

std::vector<SimulatedChannel> DefaultChannels() {
  return {
      {1, "Lobby"},
      {10, "Fr\xC3\xA9quences 251"},
      {11, "251.5"},
      {12, "251.250"},
      {13, "127.525"},
      {14, "Fr\xC3\xA9quences 124"},
      {15, "Fr\xC3\xA9quences 30"},
      {16, "399.999"},
      {17, "Fr\xC3\xA9quences 225"},
      {18, "243.5"},
  };
}

bool ReadChannelFile(const std::string& path, std::vector<SimulatedChannel>* channels,
                     std::string* error) {
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    *error = "cannot read " + path;
    return false;
  }
  std::vector<SimulatedChannel> result;
  std::string line;
  int number = 0;
  while (std::getline(file, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const size_t blank = line.find(' ');
    char* end = nullptr;
    const unsigned long long id = std::strtoull(line.c_str(), &end, 10);
    if (blank == std::string::npos || end != line.c_str() + blank || id == 0) {
      *error = path + ":" + std::to_string(number) + ": expected 'ID NAME'";
      return false;
    }
    result.push_back({id, line.substr(blank + 1)});
  }
  *channels = std::move(result);
  return true;
}
