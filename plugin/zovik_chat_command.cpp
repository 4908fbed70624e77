#include "plugin/zovik_chat_command.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "commands/channel_creation_queue.h"
#include "commands/zovik_command.h"
#include "host/host_functions.h"
#include "platform/platform.h"
#include "plugin/pilot_controls.h"

namespace {

void Print(uint64_t connection, std::string_view text) {
  HostPrintToServerTab(connection, PluginChatLine(text).c_str());
}

void Print(const std::vector<TabLine>& lines) {
  for (const TabLine& line : lines) Print(line.connection, line.text);
}

// The requests of every tab, from library load to unload: the client's
// thread, and the timer thread, which only gives up requests.
std::mutex creationsLock;
ChannelCreationQueue creations;

// The timer tells a request left without an answer even when the client
// sends no event. It prints from its own thread, as the listener prints its
// notices, and never sends: the sending functions stay on the client's
// thread, and no client function is called while it holds creationsLock.
std::mutex timerLock;  // guards timerStop
std::condition_variable timerWake;
bool timerStop = false;
PlatformThread* timer = nullptr;  // client's thread only

void RunTimer(void*) {
  std::unique_lock<std::mutex> guard(timerLock);
  while (!timerWake.wait_for(guard, std::chrono::milliseconds(250), [] { return timerStop; })) {
    guard.unlock();
    std::vector<TabLine> lines;
    {
      const std::lock_guard<std::mutex> queueGuard(creationsLock);
      creations.Expire(ChannelCreationQueue::Clock::now(), &lines);
    }
    Print(lines);
    guard.lock();
  }
}

void StartTimer() {
  if (timer != nullptr) return;
  {
    const std::lock_guard<std::mutex> guard(timerLock);
    timerStop = false;
  }
  timer = PlatformThreadStart(RunTimer, nullptr);
}

// The client's own error for a function it does not have (ERROR_undefined).
constexpr uint32_t kNoSuchFunction = 1;

uint32_t SendCreation(const CreationRequest& request, std::string* returnCode) {
  if (g_ts3Functions.setChannelVariableAsString == nullptr ||
      g_ts3Functions.setChannelVariableAsInt == nullptr ||
      g_ts3Functions.flushChannelCreation == nullptr) {
    return kNoSuchFunction;
  }
  HostCreateReturnCode(returnCode);
  // The channel to create is channel 0 until it is sent.
  uint32_t error = g_ts3Functions.setChannelVariableAsString(request.connection, 0, CHANNEL_NAME,
                                                             request.creation.channel.name.c_str());
  if (error == kHostOk) {
    error =
        g_ts3Functions.setChannelVariableAsInt(request.connection, 0, CHANNEL_FLAG_PERMANENT, 1);
  }
  if (error == kHostOk) {
    error = g_ts3Functions.flushChannelCreation(
        request.connection, request.parent, returnCode->empty() ? nullptr : returnCode->c_str());
  }
  return error;
}

// Sends what may go now and prints how the requests ended.
void PumpCreations() {
  std::vector<TabLine> lines;
  {
    const std::lock_guard<std::mutex> guard(creationsLock);
    creations.Pump(ChannelCreationQueue::Clock::now(), SendCreation, &lines);
  }
  Print(lines);
}

bool IsEstablished(uint64_t connection) {
  int status = STATUS_DISCONNECTED;
  return g_ts3Functions.getConnectionStatus != nullptr &&
         g_ts3Functions.getConnectionStatus(connection, &status) == kHostOk &&
         status == STATUS_CONNECTION_ESTABLISHED;
}

// Every channel name of the connection's server, as the client has them now.
bool ReadChannelNames(uint64_t connection, std::unordered_set<std::string>* names) {
  uint64_t* listReceived = nullptr;
  if (g_ts3Functions.getChannelList == nullptr ||
      g_ts3Functions.getChannelList(connection, &listReceived) != kHostOk ||
      listReceived == nullptr) {
    return false;
  }
  const HostPointer<uint64_t> list(listReceived);
  for (const uint64_t* channel = list.get(); *channel != 0; ++channel) {
    std::string name;
    if (!HostGetChannelName(connection, *channel, &name)) return false;
    names->insert(std::move(name));
  }
  return true;
}

bool ReadOwnChannel(uint64_t connection, uint64_t* channel) {
  anyID own = 0;
  return g_ts3Functions.getClientID != nullptr && g_ts3Functions.getChannelOfClient != nullptr &&
         g_ts3Functions.getClientID(connection, &own) == kHostOk &&
         g_ts3Functions.getChannelOfClient(connection, own, channel) == kHostOk;
}

void AnswerCommand(uint64_t connection, std::string_view text) {
  if (AnswerPilotVerb(connection, text)) return;
  // The names are read from the client for the tab the command was typed
  // in, which need not be the one the radio follows; help and words that
  // are no frequency need no server at all.
  bool needsServer = false;
  ZovikCommandAnswer answer = AnswerZovikCommand(text, [&](std::string_view) {
    needsServer = true;
    return false;
  });
  if (needsServer) {
    std::unordered_set<std::string> names;
    if (!IsEstablished(connection)) {
      Print(connection, ZovikCommandProblemReply(ZovikCommandProblem::kNotConnected));
      return;
    }
    if (!ReadChannelNames(connection, &names)) {
      Print(connection, ZovikCommandProblemReply(ZovikCommandProblem::kChannelsUnreadable));
      return;
    }
    answer = AnswerZovikCommand(
        text, [&](std::string_view name) { return names.count(std::string(name)) != 0; });
  }
  for (const std::string& reply : answer.replies) Print(connection, reply);
  if (answer.creations.empty()) return;
  uint64_t parent = 0;
  if (answer.creations.front().underOwnChannel && !ReadOwnChannel(connection, &parent)) {
    Print(connection, ZovikCommandProblemReply(ZovikCommandProblem::kOwnChannelUnknown));
    return;
  }
  {
    const std::lock_guard<std::mutex> guard(creationsLock);
    creations.Add(connection, parent, std::move(answer.creations));
  }
  StartTimer();
}

// The server's answer to a request; returns 1 when it was one of ours, so
// the client does not show it a second time.
int OnServerAnswer(uint64_t connection, const char* errorMessage, unsigned int error,
                   const char* returnCode, const char* extraMessage) {
  try {
    std::string message = errorMessage == nullptr ? "" : errorMessage;
    if (extraMessage != nullptr && *extraMessage != '\0') {
      message += std::string(" (") + extraMessage + ")";
    }
    std::vector<TabLine> lines;
    bool ours = false;
    {
      const std::lock_guard<std::mutex> guard(creationsLock);
      ours = creations.OnServerAnswer(connection, returnCode == nullptr ? "" : returnCode, error,
                                      message, &lines);
    }
    Print(lines);
    PumpCreations();
    return ours ? 1 : 0;
  } catch (...) {
    return 0;
  }
}

}  // namespace

void OnChannelCreatedFor(uint64_t serverConnectionHandlerID, uint64_t channelID, anyID invokerID) {
  anyID own = 0;
  std::string name;
  if (g_ts3Functions.getClientID == nullptr ||
      g_ts3Functions.getClientID(serverConnectionHandlerID, &own) != kHostOk || own != invokerID ||
      !HostGetChannelName(serverConnectionHandlerID, channelID, &name)) {
    return;
  }
  std::vector<TabLine> lines;
  {
    const std::lock_guard<std::mutex> guard(creationsLock);
    creations.OnCreatedByUs(serverConnectionHandlerID, name, &lines);
  }
  Print(lines);
  PumpCreations();
}

void OnTabConnectionChanged(uint64_t serverConnectionHandlerID) {
  // A creation queued for one server must never reach the next one.
  std::vector<TabLine> lines;
  {
    const std::lock_guard<std::mutex> guard(creationsLock);
    creations.DropTab(serverConnectionHandlerID, &lines);
  }
  Print(lines);
}

void StopCreationTimer() {
  if (timer == nullptr) return;
  {
    const std::lock_guard<std::mutex> guard(timerLock);
    timerStop = true;
  }
  timerWake.notify_all();
  PlatformThreadJoin(timer);
  timer = nullptr;
}

ZOVIK_EXPORT const char* ts3plugin_commandKeyword() {
  // The keyword is a literal: its view ends where the literal's NUL is.
  return kZovikCommandKeyword.data();
}

ZOVIK_EXPORT int ts3plugin_processCommand(uint64_t serverConnectionHandlerID, const char* command) {
  try {
    // A request that never got its answer is given up before anything new.
    PumpCreations();
    AnswerCommand(serverConnectionHandlerID, command == nullptr ? "" : command);
    PumpCreations();
  } catch (...) {
    // Without memory the command just ends; what was queued stays queued.
  }
  return 0;
}

// Success of a request with a return code may come as error 0 here, as well
// as the new channel's event: whichever comes first is told, once.
ZOVIK_EXPORT int ts3plugin_onServerErrorEvent(uint64_t serverConnectionHandlerID,
                                              const char* errorMessage, unsigned int error,
                                              const char* returnCode, const char* extraMessage) {
  return OnServerAnswer(serverConnectionHandlerID, errorMessage, error, returnCode, extraMessage);
}

// The client tells some refusals for want of a permission here instead.
ZOVIK_EXPORT int ts3plugin_onServerPermissionErrorEvent(uint64_t serverConnectionHandlerID,
                                                        const char* errorMessage,
                                                        unsigned int error, const char* returnCode,
                                                        unsigned int failedPermissionID) {
  (void)failedPermissionID;
  return OnServerAnswer(serverConnectionHandlerID, errorMessage, error, returnCode, nullptr);
}
