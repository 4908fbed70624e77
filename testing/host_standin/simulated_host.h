// The voice client as the plugin sees it: a function table whose members act
// on simulated server connections. It keeps channels per connection, the own
// client's channel, every move requested, the memory it handed out, and can
// make any of its functions fail on demand.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "host/ts3_plugin_api.h"
#include "testing/host_standin/client_profile.h"

struct PluginExports;

// The ID the stand-in gives the plugin when it plays a client from 3.1 on.
constexpr char kStandInPluginID[] = "zovik_stand_in_id_42";

// The host functions whose failure can be injected.
enum class HostFunction { kGetChannelList, kGetChannelVariableAsString, kGetClientID,
                          kRequestClientMove, kGetServerConnectionHandlerList,
                          kGetConnectionStatus, kCount };
const char* HostFunctionName(HostFunction function);
bool HostFunctionFromName(const std::string& name, HostFunction* function);

// Error code the simulated client returns for an injected failure.
constexpr unsigned int kSimulatedError = 0x0200;  // any non-zero value is a failure

struct SimulatedChannel {
  uint64_t id;
  std::string name;
  uint64_t parent = 0;  // 0: at the top level
};

// A line a plugin printed into a tab's chat, or the client showed there.
struct ChatLine {
  uint64_t connection;
  int target;  // PluginMessageTarget, kCurrentTabChat or kClientErrorLine
  std::string text;
};
constexpr int kCurrentTabChat = -1;   // printed through printMessageToCurrentTab
constexpr int kClientErrorLine = -2;  // a server error the plugins left to the client

// The server's error numbers and words the stand-in answers with.
constexpr unsigned int kChannelNameInUse = 0x0303;
constexpr char kChannelNameInUseText[] = "channel name is already in use";
constexpr unsigned int kInsufficientPermissions = 0x0a08;
constexpr char kInsufficientPermissionsText[] = "insufficient client permissions";

// A channel creation a plugin asked for with flushChannelCreation, with the
// properties it had set on channel 0 before.
struct CreationFlush {
  uint64_t connection;
  uint64_t parent;
  std::string name;           // CHANNEL_NAME, empty when not set
  std::string permanent;      // CHANNEL_FLAG_PERMANENT as set, empty when not set
  std::string returnCode;     // "(null)" for none
  size_t answersUndelivered;  // server answers not yet told to the plugin at that moment
  unsigned int error;         // the server's answer: 0 when it created the channel
  uint64_t channel;           // the new channel's identifier
};

// The server's answer to a creation, told to the plugin by PlayServerAnswers.
struct ServerAnswer {
  uint64_t connection;
  unsigned int error;  // 0: channel `channel` was created under `parent`
  std::string message;
  std::string returnCode;  // "" for none
  uint64_t channel;
  uint64_t parent;
  std::string name;
};

struct MoveRequest {
  uint64_t connection;
  anyID client;
  uint64_t channel;
  std::string channelName;  // empty when no such channel exists
  std::string password;
  bool returnCodeGiven;
  std::chrono::steady_clock::time_point at;
};

class SimulatedHost {
 public:
  // The one instance behind the function table (the table's members are
  // plain functions).
  static SimulatedHost& Instance();

  // Back to no connections, no failures, no moves.
  void Reset();

  // The declared part of the table of `client`, whose getPluginPath has
  // the form of that client's API.
  TS3Functions FunctionTable(const ClientProfile& client = StandInClient()) const;
  void SetPluginPath(const std::string& path);
  // API 21 and later: the ID getPluginPath must be asked with, and how often
  // it was asked with another one (then it reports no directory).
  void SetExpectedPluginID(const std::string& id);
  int PluginIdMismatches();

  // A connection with these channels, not yet connected.
  void SetChannels(uint64_t connection, std::vector<SimulatedChannel> channels);
  // The same, already established, without telling any plugin.
  void Establish(uint64_t connection, std::vector<SimulatedChannel> channels);
  void RemoveConnection(uint64_t connection);
  // The status getConnectionStatus reports for an existing connection.
  void SetConnectionStatus(uint64_t connection, int status);
  // What an admin does on a connection's server; false when the connection
  // does not exist, or the channel does (AddChannel) or does not (the others).
  // A deleted channel's clients go to the server's first channel.
  bool AddChannel(uint64_t connection, const SimulatedChannel& channel);
  bool RenameChannel(uint64_t connection, uint64_t id, const std::string& name);
  bool DeleteChannel(uint64_t connection, uint64_t id);
  std::vector<uint64_t> ChannelIds(uint64_t connection);
  // Whether the own client may create permanent channels (the default).
  void SetCreatePermission(uint64_t connection, bool allowed);
  std::vector<CreationFlush> CreationFlushes();
  // The oldest answer the plugin has not been told of; false when none.
  bool TakeServerAnswer(ServerAnswer* answer);
  // The tab the user looks at (0: none).
  void SetCurrentConnection(uint64_t connection);
  void SetOwnClientID(anyID id);
  uint64_t CurrentChannel(uint64_t connection);
  // Name of channel `id` on `connection`, empty when there is none.
  std::string ChannelName(uint64_t connection, uint64_t id);

  // Failure injection: fail every call, the next `count` calls, or each call
  // with probability `rate` (0 to 1, seeded for repeatable runs).
  void FailAlways(HostFunction function, bool fail);
  void FailNext(HostFunction function, int count);
  // Let the next `successes` calls through, then fail every one.
  void FailAfter(HostFunction function, int successes);
  void SetFailureRate(double rate, uint32_t seed);
  int FailuresInjected(HostFunction function);
  int Calls(HostFunction function);

  // Called (under no lock) for every accepted move.
  void OnMove(std::function<void(const MoveRequest&)> callback);
  std::vector<MoveRequest> Moves();
  // Waits until at least `count` moves were accepted; false on timeout.
  bool WaitForMoves(size_t count, std::chrono::milliseconds timeout);

  // A line the client itself shows in a tab's chat.
  void Print(ChatLine line);
  // Called (under no lock) for every line printed into a chat.
  void OnChat(std::function<void(const ChatLine&)> callback);
  std::vector<ChatLine> ChatLines();
  // Waits until at least `count` lines were printed; false on timeout.
  bool WaitForChatLines(size_t count, std::chrono::milliseconds timeout);

  // The plugin's menu items as it enabled or greyed them (id -> enabled),
  // and how often it asked for the info panel to be refreshed.
  std::map<int, bool> MenuEnabled();
  int InfoUpdateRequests();
  // Whether the ID is registered after ts3plugin_init rather than before it
  // (the SDK's documented order; clients from 3.1 on appear to do the other).
  void SetRegisterIDAfterInit(bool after);
  bool RegisterIDAfterInit();

  // Memory handed to the plugin and not yet released with freeMemory, and
  // releases of pointers this client never handed out.
  int OutstandingAllocations();
  int ForeignFrees();

  // The table's members, public so the table can point at them.
  static unsigned int FreeMemory(void* pointer);
  static unsigned int RequestClientMove(uint64_t connection, anyID client, uint64_t channel,
                                        const char* password, const char* returnCode);
  static unsigned int GetClientID(uint64_t connection, anyID* result);
  static unsigned int GetChannelVariableAsString(uint64_t connection, uint64_t channel,
                                                 size_t flag, char** result);
  static unsigned int GetChannelList(uint64_t connection, uint64_t** result);
  static unsigned int GetServerConnectionHandlerList(uint64_t** result);
  static unsigned int GetConnectionStatus(uint64_t connection, int* result);
  static unsigned int GetChannelOfClient(uint64_t connection, anyID client, uint64_t* result);
  static unsigned int SetChannelVariableAsInt(uint64_t connection, uint64_t channel, size_t flag,
                                              int value);
  static unsigned int SetChannelVariableAsString(uint64_t connection, uint64_t channel, size_t flag,
                                                 const char* value);
  // The server answers later, after the plugin's export has returned, as
  // the real client's events come.
  static unsigned int FlushChannelCreation(uint64_t connection, uint64_t parent,
                                           const char* returnCode);
  static void CreateReturnCode(const char* pluginID, char* returnCode, size_t maxLen);
  static unsigned int RequestInfoUpdate(uint64_t connection, PluginItemType type, uint64_t id);
  static void SetPluginMenuEnabled(const char* pluginID, int menuID, int enabled);
  static uint64_t GetCurrentServerConnectionHandlerID();
  static void PrintMessage(uint64_t connection, const char* message, int target);
  static void PrintMessageToCurrentTab(const char* message);
  // The two forms: the older clients', and the one taking the plugin's ID.
  static void GetPluginPathWithoutID(char* path, size_t maxLen);
  static void GetPluginPathWithID(char* path, size_t maxLen, const char* pluginID);

 private:
  struct Connection {
    std::vector<SimulatedChannel> channels;
    uint64_t currentChannel = 0;
    int status = STATUS_DISCONNECTED;
    std::map<size_t, std::string> newChannel;  // properties set on channel 0
    bool mayCreate = true;
  };
  struct Failure {
    bool always = false;
    int next = 0;
    int succeedBeforeFailing = -1;  // -1: not armed
    int injected = 0;
    int calls = 0;
  };

  // Counts the call and decides whether it fails; stateLock_ held.
  bool ShouldFail(HostFunction function);
  void* Allocate(size_t bytes);  // stateLock_ held
  void CopyPluginPath(char* path, size_t maxLen);  // stateLock_ held
  // Plays the server's handling of a flush: records it, creates the channel
  // of channel 0's properties under `parent` or refuses to, and queues the
  // answer (the client's list has the channel once it is told); stateLock_
  // held.
  void CreateChannel(uint64_t connection, uint64_t parent, const char* returnCode);

  std::mutex stateLock_;
  std::condition_variable moved_;
  std::condition_variable printed_;
  std::map<uint64_t, Connection> connections_;
  uint64_t currentConnection_ = 0;
  anyID ownClientID_ = 7;
  std::string pluginPath_;
  std::string expectedPluginID_ = kStandInPluginID;
  int pluginIdMismatches_ = 0;
  Failure failures_[static_cast<int>(HostFunction::kCount)];
  double failureRate_ = 0;
  std::mt19937 random_;
  std::vector<MoveRequest> moves_;
  std::function<void(const MoveRequest&)> onMove_;
  std::vector<ChatLine> chat_;
  std::function<void(const ChatLine&)> onChat_;
  std::vector<CreationFlush> flushes_;
  std::deque<ServerAnswer> answers_;
  int returnCodes_ = 0;
  std::map<int, bool> menuEnabled_;
  int infoUpdates_ = 0;
  bool registerIDAfterInit_ = false;
  std::set<void*> allocations_;
  int foreignFrees_ = 0;
};

// What the client of `client`'s version does when it has loaded a plugin and
// before ts3plugin_init: refuses it (false, *error set as the client says it)
// when the plugin's API is not one the client accepts; else hands over its
// function table, as long as that client's, and from 3.1 on registers the
// plugin's ID.
bool HandOverToPlugin(const PluginExports& plugin, const ClientProfile& client,
                      std::string* error);

// A small default server: a lobby and a set of frequency channels.
std::vector<SimulatedChannel> DefaultChannels();

// Reads "ID NAME" lines (NAME is the rest of the line, UTF-8); '#' starts a
// comment line. False with *error set when a line is malformed.
bool ReadChannelFile(const std::string& path, std::vector<SimulatedChannel>* channels,
                     std::string* error);
