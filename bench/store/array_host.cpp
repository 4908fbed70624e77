#include "bench/store/array_host.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace array_host {
namespace {

constexpr uint64_t kConnection = 1;
constexpr anyID kOwnClient = 7;

std::vector<std::string> g_names;
size_t g_listed = 0;  // the first names are the listed channels
uint64_t g_moves = 0;
uint64_t g_lastChannel = 0;

unsigned int FreeMemory(void* pointer) {
  std::free(pointer);
  return kHostOk;
}

unsigned int GetChannelList(uint64_t connection, uint64_t** result) {
  if (connection != kConnection) return 1;
  auto* list = static_cast<uint64_t*>(std::malloc((g_listed + 1) * sizeof(uint64_t)));
  if (list == nullptr) return 1;
  for (size_t i = 0; i < g_listed; ++i) list[i] = i + 1;
  list[g_listed] = 0;
  *result = list;
  return kHostOk;
}

unsigned int GetChannelVariableAsString(uint64_t connection, uint64_t channel, size_t flag,
                                        char** result) {
  if (connection != kConnection || flag != CHANNEL_NAME || channel == 0 ||
      channel > g_names.size()) {
    return 1;
  }
  const std::string& name = g_names[channel - 1];
  char* text = static_cast<char*>(std::malloc(name.size() + 1));
  if (text == nullptr) return 1;
  std::memcpy(text, name.c_str(), name.size() + 1);
  *result = text;
  return kHostOk;
}

unsigned int GetClientID(uint64_t connection, anyID* result) {
  if (connection != kConnection) return 1;
  *result = kOwnClient;
  return kHostOk;
}

unsigned int RequestClientMove(uint64_t connection, anyID client, uint64_t channel, const char*,
                               const char*) {
  if (connection != kConnection || client != kOwnClient) return 1;
  ++g_moves;
  g_lastChannel = channel;
  return kHostOk;
}

}  // namespace

void SetChannels(std::vector<std::string> names) {
  g_names = std::move(names);
  g_listed = g_names.size();
}

void SetName(uint64_t channel, std::string name) {
  if (channel > g_names.size()) g_names.resize(channel);
  g_names[channel - 1] = std::move(name);
}

TS3Functions FunctionTable() {
  TS3Functions table{};
  table.freeMemory = &FreeMemory;
  table.getChannelList = &GetChannelList;
  table.getChannelVariableAsString = &GetChannelVariableAsString;
  table.getClientID = &GetClientID;
  table.requestClientMove = &RequestClientMove;
  return table;
}

uint64_t MoveRequests() { return g_moves; }
uint64_t LastMoveChannel() { return g_lastChannel; }

}  // namespace array_host
