// The voice client as the plugin sees it: a function table whose members act
// on simulated server connections. It keeps channels per connection, the own
// client's channel, every move requested, the memory it handed out, and can
// make any of its functions fail on demand.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
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
};

// A line a plugin printed into a tab's chat.
struct ChatLine {
  uint64_t connection;
  int target;  // PluginMessageTarget, or kCurrentTabChat through printMessageToCurrentTab
  std::string text;
};
constexpr int kCurrentTabChat = -1;

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

  // Called (under no lock) for every line printed into a chat.
  void OnChat(std::function<void(const ChatLine&)> callback);
  std::vector<ChatLine> ChatLines();
  // Waits until at least `count` lines were printed; false on timeout.
  bool WaitForChatLines(size_t count, std::chrono::milliseconds timeout);

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
  void Print(ChatLine line);

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
