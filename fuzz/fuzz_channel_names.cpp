// A server whose channel names are the input, split at 0xFF bytes (NUL bytes
// dropped and empty names skipped: the client hands out C strings), read
// into the store with every log line on. Names may hold any other byte,
// line feeds included, and be thousands of bytes long. Checked per input:
// - the build counts every name, keeps them in the client's order with their
//   ids, and finds each name's first channel;
// - the log is exactly one level-4 record per name: "new channel : [name]"
//   then every byte of the name as "XX:", whatever its length;
// - every name and the list the client handed out are released.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "channels/channels_base.h"
#include "fuzz/fuzz_support.h"
#include "host/host_functions.h"
#include "testing/host_standin/simulated_host.h"

namespace {

constexpr uint64_t kConnection = 1;

std::vector<SimulatedChannel> ChannelsFrom(const uint8_t* data, size_t size) {
  std::vector<SimulatedChannel> channels;
  std::string name;
  for (size_t i = 0; i <= size; ++i) {
    if (i == size || data[i] == 0xFF) {
      if (!name.empty()) channels.push_back({channels.size() + 1, name});
      name.clear();
    } else if (data[i] != 0) {
      name.push_back(static_cast<char>(data[i]));
    }
  }
  return channels;
}

std::string NewChannelRecord(const std::string& name) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string message = "CChannelsBase::AddCDB_item : new channel : [" + name + "]";
  for (unsigned char byte : name) {
    message += {kHex[byte >> 4], kHex[byte & 0x0F], ':'};
  }
  return message;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  OpenLogAtLevel5();
  g_ts3Functions = SimulatedHost::Instance().FunctionTable();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<SimulatedChannel> channels = ChannelsFrom(data, size);
  SimulatedHost& host = SimulatedHost::Instance();
  host.Reset();
  host.SetChannels(kConnection, channels);
  g_channelsBase.Clear();
  EmptyLog();

  const int count = g_channelsBase.BuildDataBase(kConnection);

  FUZZ_CHECK(host.OutstandingAllocations() == 0 && host.ForeignFrees() == 0);
  if (channels.empty()) {
    FUZZ_CHECK(count == -1 && g_channelsBase.Current() == nullptr);
    return 0;
  }
  FUZZ_CHECK(count == static_cast<int>(channels.size()));
  FUZZ_CHECK(g_channelsBase.channelCount() == count && g_channelsBase.ready() == 1);

  const auto store = g_channelsBase.Current();
  FUZZ_CHECK(store->records().size() == channels.size());
  std::map<std::string, uint64_t> firstId;
  for (size_t i = 0; i < channels.size(); ++i) {
    FUZZ_CHECK(store->records()[i].name == channels[i].name);
    FUZZ_CHECK(store->records()[i].id == channels[i].id);
    firstId.emplace(channels[i].name, channels[i].id);
  }
  for (const auto& [name, id] : firstId) {
    const CDB_item* found = store->FindFirst(name);
    FUZZ_CHECK(found != nullptr && found->id == id);
  }

  const std::string log = ReadLog();
  size_t offset = 0;
  for (const SimulatedChannel& channel : channels) {
    FUZZ_CHECK(TakeRecord(log, &offset, 4, NewChannelRecord(channel.name)));
  }
  FUZZ_CHECK(offset == log.size());
  return 0;
}
