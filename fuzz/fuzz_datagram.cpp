// One received datagram through the listener's handler, as the listener
// thread hands it over after a receive (at most 576 bytes), with every log
// line on and the default server's channels in the store. No socket, no
// thread. Checked per input:
// - at most one move is asked for: the first channel the frequency rule
//   names, when the frequency is accepted and the server has that channel;
// - the log holds whole records only: first the "Received" record with the
//   datagram's text up to its first NUL, at most 488 bytes, each line feed
//   written as a newline; then one record per step taken, each with the
//   prefix and the level of that step; the game side's "0" (the pilot
//   left his aircraft) gives one record and no move.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "channels/channels_base.h"
#include "fuzz/fuzz_support.h"
#include "host/host_functions.h"
#include "log/log_file.h"
#include "tests/support/log_lines.h"
#include "testing/host_standin/simulated_host.h"
#include "udpserver/frequency_rule.h"
#include "udpserver/udp_server.h"

namespace {

constexpr uint64_t kConnection = 1;
constexpr std::string_view kReceived = "UDPServer : Received : ";
// One message buffer (with its terminator) less the prefix.
constexpr size_t kReceivedTextMax = 488;
static_assert(kReceivedTextMax == kMessageBufferBytes - 1 - kReceived.size());

// The channel a move must go to, or 0 when no move may happen.
uint64_t ExpectedTarget(int32_t frequency) {
  if (!IsAcceptedFrequency(frequency)) return 0;
  const ChannelName name = FrequencyToChannelName(frequency);
  for (const SimulatedChannel& channel : DefaultChannels()) {
    if (channel.name == name.view()) return channel.id;
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OpenLogAtLevel5();
  SimulatedHost::Instance().Establish(kConnection, DefaultChannels());
  g_ts3Functions = SimulatedHost::Instance().FunctionTable();
  FUZZ_CHECK(g_channelsBase.BuildDataBase(kConnection) ==
             static_cast<int>(DefaultChannels().size()));
  FUZZ_CHECK(g_channelsBase.ready() == 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size = std::min(size, UDPServer::kReceiveBytes);
  const char* bytes = reinterpret_cast<const char*>(data);

  // Each input starts from the same client and listener state; the store
  // stays the one built at start.
  SimulatedHost& host = SimulatedHost::Instance();
  host.Reset();
  host.Establish(kConnection, DefaultChannels());
  g_udpServer.ResetLastSwitch();
  EmptyLog();

  g_udpServer.HandleDatagram(bytes, size);

  const int32_t frequency = ParseFrequency(bytes, size);
  const uint64_t target = ExpectedTarget(frequency);
  const std::vector<MoveRequest> moves = host.Moves();
  FUZZ_CHECK(moves.size() == (target != 0 ? 1u : 0u));
  if (target != 0) FUZZ_CHECK(moves[0].connection == kConnection && moves[0].channel == target);

  const std::string log = ReadLog();
  std::string received(kReceived);
  received.append(bytes, std::min(strnlen(bytes, size), kReceivedTextMax));
  size_t offset = 0;
  FUZZ_CHECK(TakeRecord(log, &offset, 5, received));

  // Frequency taken (3), channel looked up (5), move asked (3), switched (2);
  // or the pilot left his aircraft (2).
  std::vector<int> levels;
  if (IsAcceptedFrequency(frequency)) levels = {3, 5};
  if (IsLeaveAircraft(bytes, size)) levels = {2};
  if (target != 0) levels.insert(levels.end(), {3, 2});
  const std::vector<std::string> rest = SplitLogLines(log.substr(offset));
  FUZZ_CHECK(rest.size() == levels.size());
  for (size_t i = 0; i < rest.size(); ++i) {
    FUZZ_CHECK(HasLogPrefix(rest[i]) && LevelOf(rest[i]) == levels[i]);
  }
  return 0;
}
