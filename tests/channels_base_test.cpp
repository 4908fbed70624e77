#include "channels/channels_base.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <thread>
#include <type_traits>
#include <vector>

#include "host/host_functions.h"
#include "tests/support/log_fixture.h"
#include "tests/support/process_counts.h"
#include "testing/host_standin/simulated_host.h"

// Out of memory on demand: while g_allocationsBeforeFailure is N >= 0, the
// allocation after the next N throws std::bad_alloc (once). Every global new
// and delete of this program is replaced.
namespace {
std::atomic<long> g_allocationsBeforeFailure{-1};
}  // namespace

void* operator new(std::size_t size) {
  if (g_allocationsBeforeFailure.load() >= 0 && g_allocationsBeforeFailure.fetch_sub(1) == 0) {
    throw std::bad_alloc();
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return operator new(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t& tag) noexcept {
  return operator new(size, tag);
}
#if defined(__GNUC__) && !defined(__clang__)
// GCC takes the free() below for a mismatch with the operator new it
// inlined; the replaced operators allocate with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* pointer) noexcept { std::free(pointer); }
void operator delete[](void* pointer) noexcept { std::free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { std::free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { std::free(pointer); }

namespace {

static_assert(!std::is_copy_constructible_v<CDB_table> && !std::is_copy_assignable_v<CDB_table> &&
                  !std::is_move_constructible_v<CDB_table> &&
                  !std::is_move_assignable_v<CDB_table>,
              "a table's indexes point into its own records");

using Strings = std::vector<std::string>;
const std::string kFr251 = "Fr\xC3\xA9quences 251";

class ChannelsBaseTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Reset();
    g_ts3Functions = host_.FunctionTable();
    store_.Clear();
  }
  void TearDown() override {
    store_.Clear();
    // Every list and name the client handed out was released, once.
    EXPECT_EQ(host_.OutstandingAllocations(), 0);
    EXPECT_EQ(host_.ForeignFrees(), 0);
  }
  Strings StoredNames() {
    Strings names;
    for (const CDB_item& record : store_.Current()->records()) names.push_back(record.name);
    return names;
  }

  SimulatedHost& host_ = SimulatedHost::Instance();
  CChannelsBase store_;
};

TEST_F(ChannelsBaseTest, BuildStoresEveryChannelInListOrder) {
  LogInTempDirectory log(4);
  host_.Establish(3, {{5, "Lobby"}, {9, kFr251}, {7, "251.5"}});
  EXPECT_EQ(store_.BuildDataBase(3), 3);
  EXPECT_EQ(store_.channelCount(), 3);
  EXPECT_EQ(store_.ready(), 1);
  EXPECT_EQ(StoredNames(), (Strings{"Lobby", kFr251, "251.5"}));
  EXPECT_EQ(store_.Current()->serverConnectionHandlerID, 3u);
  EXPECT_EQ(store_.Current()->FindFirst(kFr251)->id, 9u);
  EXPECT_EQ(store_.Current()->FindFirst("Fr__quences 251"), nullptr);
  EXPECT_EQ(log.Messages(4), (Strings{"CChannelsBase::AddCDB_item : new channel : [Lobby]",
                                      "CChannelsBase::AddCDB_item : new channel : [" + kFr251 + "]",
                                      "CChannelsBase::AddCDB_item : new channel : [251.5]"}));
}

TEST_F(ChannelsBaseTest, LevelFiveAddsTheNameBytes) {
  LogInTempDirectory log(5);
  host_.Establish(1, {{10, kFr251}});
  store_.BuildDataBase(1);
  EXPECT_EQ(log.Messages(4),
            Strings{"CChannelsBase::AddCDB_item : new channel : [" + kFr251 +
                    "]46:72:C3:A9:71:75:65:6E:63:65:73:20:32:35:31:"});
}

TEST_F(ChannelsBaseTest, LongNamesAreKeptWholeAndDumpedWhole) {
  LogInTempDirectory log(5);
  const std::string longName(3000, '\xFF');
  host_.Establish(1, {{10, longName}});
  store_.BuildDataBase(1);
  EXPECT_EQ(store_.Current()->records().at(0).name, longName);
  std::string dump;
  for (size_t i = 0; i < longName.size(); ++i) dump += "FF:";
  EXPECT_EQ(log.Messages(4),
            Strings{"CChannelsBase::AddCDB_item : new channel : [" + longName + "]" + dump});
}

TEST_F(ChannelsBaseTest, FailedOrEmptyListKeepsThePreviousStore) {
  LogInTempDirectory log(0);
  host_.Establish(1, {{10, kFr251}});
  ASSERT_EQ(store_.BuildDataBase(1), 1);
  const auto before = store_.Current();

  host_.FailNext(HostFunction::kGetChannelList, 1);
  EXPECT_EQ(store_.BuildDataBase(1), -1);
  host_.Establish(1, {});
  EXPECT_EQ(store_.BuildDataBase(1), -1);
  EXPECT_EQ(store_.BuildDataBase(2), -1);  // no such connection

  EXPECT_EQ(store_.Current(), before);
  EXPECT_EQ(store_.ready(), 1);
  EXPECT_EQ(store_.channelCount(), 1);
  EXPECT_EQ(log.Messages(0), (Strings{"Initialize Log file with 0 level",
                                      "CChannelsBase::BuildDataBase : Error getting channel list",
                                      "CChannelsBase::BuildDataBase : No channels",
                                      "CChannelsBase::BuildDataBase : Error getting channel list"}));
}

TEST_F(ChannelsBaseTest, UnreadableNameLeavesAPartialStoreNotReady) {
  LogInTempDirectory log(0);
  host_.Establish(1, {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}});
  host_.FailAfter(HostFunction::kGetChannelVariableAsString, 2);
  EXPECT_EQ(store_.BuildDataBase(1), 2);
  EXPECT_EQ(store_.ready(), 0);
  EXPECT_EQ(store_.channelCount(), 2);
  EXPECT_EQ(StoredNames(), (Strings{"a", "b"}));
  EXPECT_EQ(log.Messages(0), (Strings{"Initialize Log file with 0 level",
                                      "CChannelsBase::BuildDataBase : Error getting channel name"}));

  // The next complete build makes the store usable again.
  host_.FailAfter(HostFunction::kGetChannelVariableAsString, -1);
  EXPECT_EQ(store_.BuildDataBase(1), 4);
  EXPECT_EQ(store_.ready(), 1);
}

TEST_F(ChannelsBaseTest, EveryBuildStartsFromScratch) {
  LogInTempDirectory log(0);
  host_.Establish(1, {{10, kFr251}, {11, "251.5"}});
  store_.BuildDataBase(1);
  const uint64_t firstGeneration = store_.generation();
  // After a reconnection the same names carry new identifiers.
  host_.Establish(1, {{20, kFr251}});
  EXPECT_EQ(store_.BuildDataBase(1), 1);
  EXPECT_NE(store_.generation(), firstGeneration);
  EXPECT_EQ(StoredNames(), Strings{kFr251});
  EXPECT_EQ(store_.Current()->FindFirst(kFr251)->id, 20u);
  EXPECT_EQ(store_.Current()->FindFirst("251.5"), nullptr);
}

TEST_F(ChannelsBaseTest, FirstRecordOfANameWins) {
  LogInTempDirectory log(0);
  host_.Establish(1, {{30, "x"}, {31, kFr251}, {32, kFr251}});
  store_.BuildDataBase(1);
  EXPECT_EQ(StoredNames(), (Strings{"x", kFr251, kFr251}));
  EXPECT_EQ(store_.Current()->FindFirst(kFr251)->id, 31u);
}

TEST_F(ChannelsBaseTest, SwitchRequestsTheMoveOfTheOwnClient) {
  LogInTempDirectory log(3);
  host_.Establish(2, {{1, "Lobby"}, {42, kFr251}});
  host_.SetOwnClientID(99);
  store_.BuildDataBase(2);
  EXPECT_EQ(store_.SwitchChannel(2, *store_.Current()->FindFirst(kFr251)), 1);
  const std::vector<MoveRequest> moves = host_.Moves();
  ASSERT_EQ(moves.size(), 1u);
  EXPECT_EQ(moves[0].connection, 2u);
  EXPECT_EQ(moves[0].client, 99);
  EXPECT_EQ(moves[0].channel, 42u);
  EXPECT_EQ(moves[0].password, "");
  EXPECT_FALSE(moves[0].returnCodeGiven);
  EXPECT_EQ(host_.CurrentChannel(2), 42u);
  EXPECT_EQ(log.Messages(3), Strings{"CChannelsBase::SwitchChannel : Switching into channel 42"});
}

TEST_F(ChannelsBaseTest, RefusedSwitchIsOneLevelZeroLineAndNoSuccess) {
  LogInTempDirectory log(5);
  host_.Establish(1, {{42, kFr251}});
  store_.BuildDataBase(1);
  const CDB_item record = *store_.Current()->FindFirst(kFr251);

  host_.FailNext(HostFunction::kGetClientID, 1);
  EXPECT_EQ(store_.SwitchChannel(1, record), 0);
  EXPECT_EQ(host_.Calls(HostFunction::kRequestClientMove), 0);

  host_.FailNext(HostFunction::kRequestClientMove, 1);
  EXPECT_EQ(store_.SwitchChannel(1, record), 0);

  // A channel deleted on the server since the build.
  host_.Establish(1, {{43, "other"}});
  EXPECT_EQ(store_.SwitchChannel(1, record), 0);

  EXPECT_TRUE(host_.Moves().empty());
  EXPECT_EQ(log.Messages(3), Strings{});
  EXPECT_EQ(log.Messages(0),
            (Strings{"Initialize Log file with 5 level",
                     "CChannelsBase::SwitchChannel : Error querying own client ID",
                     "CChannelsBase::SwitchChannel : Error moving client into channel channel",
                     "CChannelsBase::SwitchChannel : Error moving client into channel channel"}));
}

TEST_F(ChannelsBaseTest, AddingOutsideABuildChangesNothing) {
  LogInTempDirectory log(4);
  const CDB_item stray{"stray", 99};
  EXPECT_EQ(store_.AddCDB_item(stray), 0);
  EXPECT_EQ(store_.Current(), nullptr);
  host_.Establish(1, {{10, kFr251}});
  ASSERT_EQ(store_.BuildDataBase(1), 1);
  EXPECT_EQ(store_.AddCDB_item(stray), 1);
  EXPECT_EQ(StoredNames(), Strings{kFr251});
  EXPECT_EQ(log.Messages(4), Strings{"CChannelsBase::AddCDB_item : new channel : [" + kFr251 + "]"});
}

// The client's functions are C and never throw: no failure is injected
// while one of them runs.
struct InjectionPaused {
  InjectionPaused() : saved(g_allocationsBeforeFailure.exchange(-1)) {}
  ~InjectionPaused() { g_allocationsBeforeFailure = saved; }
  long saved;
};

void PauseInjectionInTheClient() {
  g_ts3Functions.getChannelList = [](uint64_t connection, uint64_t** result) {
    InjectionPaused paused;
    return SimulatedHost::GetChannelList(connection, result);
  };
  g_ts3Functions.getChannelVariableAsString = [](uint64_t connection, uint64_t channel,
                                                 size_t flag, char** result) {
    InjectionPaused paused;
    return SimulatedHost::GetChannelVariableAsString(connection, channel, flag, result);
  };
}

TEST_F(ChannelsBaseTest, OutOfMemoryAnywhereInABuildKeepsTheStoreAndReleasesTheClientsMemory) {
  LogInTempDirectory log(5);  // the record lines allocate too
  host_.Establish(1, {{10, kFr251}});
  ASSERT_EQ(store_.BuildDataBase(1), 1);
  const auto before = store_.Current();
  PauseInjectionInTheClient();
  host_.Establish(1, {{1, "Lobby"}, {11, "251.5"}, {12, "251.250"}});
  // The first exception thrown opens handles the runtime keeps (MinGW under
  // Wine): count from after one.
  try {
    throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
  }
  const int handles = CountOwnHandles();

  // Fail the first allocation of the build, then the second, and so on until
  // a build gets through.
  long failures = 0;
  for (;; ++failures) {
    g_allocationsBeforeFailure = failures;
    bool thrown = false;
    try {
      store_.BuildDataBase(1);
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    const bool injected = g_allocationsBeforeFailure.exchange(-1) < 0;
    if (!injected) break;
    EXPECT_TRUE(thrown) << "allocation " << failures;
    EXPECT_EQ(host_.OutstandingAllocations(), 0) << "allocation " << failures;
    EXPECT_EQ(store_.Current(), before) << "allocation " << failures;
    EXPECT_EQ(store_.channelCount(), 1);
    // The build that failed is over: nothing can be added to it any more.
    EXPECT_EQ(store_.AddCDB_item({"stray", 99}), 1);
  }
  EXPECT_GE(failures, 9);  // at least a name, a record and a log line per channel
  EXPECT_EQ(CountOwnHandles(), handles);  // no log file left open
  EXPECT_EQ(StoredNames(), (Strings{"Lobby", "251.5", "251.250"}));
}

TEST_F(ChannelsBaseTest, OutOfMemoryInALiveChangeKeepsTheStoreAndTheNextChangeRebuilds) {
  LogInTempDirectory log(4);
  PauseInjectionInTheClient();
  for (long failures = 0;; ++failures) {
    SCOPED_TRACE(failures);
    host_.Establish(1, {{10, kFr251}});
    ASSERT_EQ(store_.BuildDataBase(1), 1);
    const auto before = store_.Current();
    host_.AddChannel(1, {40, "127.525"});
    g_allocationsBeforeFailure = failures;
    bool thrown = false;
    try {
      store_.RefreshChannel(1, 40);
    } catch (const std::bad_alloc&) {
      thrown = true;
    }
    if (g_allocationsBeforeFailure.exchange(-1) >= 0) break;  // nothing more to fail
    ASSERT_TRUE(thrown);
    // Published whole (only its log line failed), or not at all.
    const auto after = store_.Current();
    EXPECT_TRUE(after == before || after->FindFirst("127.525") != nullptr);
    // Whatever the failed change left behind, the next one shows both.
    host_.RenameChannel(1, 10, "251.5");
    store_.RefreshChannel(1, 10);
    ASSERT_NE(store_.Current()->FindFirst("127.525"), nullptr);
    EXPECT_EQ(store_.Current()->FindFirst("127.525")->id, 40u);
    EXPECT_EQ(store_.Current()->FindFirst("251.5")->id, 10u);
    if (HasFailure()) return;
  }
}

TEST_F(ChannelsBaseTest, LiveChangesOnTheFollowedConnectionReadOneNameEach) {
  LogInTempDirectory log(4);
  host_.Establish(1, {{1, "Lobby"}, {10, kFr251}, {11, "251.5"}});
  host_.Establish(2, {{1, "Lobby"}});
  ASSERT_EQ(store_.BuildDataBase(1), 3);
  const int lists = host_.Calls(HostFunction::kGetChannelList);
  const int names = host_.Calls(HostFunction::kGetChannelVariableAsString);

  host_.AddChannel(1, {40, "127.525"});
  store_.RefreshChannel(1, 40);
  host_.RenameChannel(1, 11, "251.250");
  store_.RefreshChannel(1, 11);
  store_.RefreshChannel(1, 40);  // another property changed
  host_.DeleteChannel(1, 10);
  store_.RemoveChannel(1, 10);
  // A channel the client cannot name is let go.
  host_.FailNext(HostFunction::kGetChannelVariableAsString, 1);
  store_.RefreshChannel(1, 1);
  // Another tab's channels are not followed.
  host_.AddChannel(2, {50, "243.5"});
  store_.RefreshChannel(2, 50);
  store_.RemoveChannel(2, 40);

  const auto store = store_.Current();
  EXPECT_EQ(store->FindFirst("127.525")->id, 40u);
  EXPECT_EQ(store->FindFirst("251.250")->id, 11u);
  for (const char* gone : {"251.5", "Lobby", "243.5"}) EXPECT_EQ(store->FindFirst(gone), nullptr);
  EXPECT_EQ(store->FindFirst(kFr251), nullptr);
  EXPECT_EQ(store_.channelCount(), 2);
  EXPECT_EQ(host_.Calls(HostFunction::kGetChannelList), lists);
  EXPECT_EQ(host_.Calls(HostFunction::kGetChannelVariableAsString), names + 4);
  const Strings messages = log.Messages(4);
  EXPECT_EQ(Strings(messages.end() - 4, messages.end()),
            (Strings{"CChannelsBase::AddCDB_item : new channel : [127.525]",
                     "CChannelsBase::RefreshChannel : channel 11 renamed : [251.250]",
                     "CChannelsBase::RemoveChannel : channel 10 removed",
                     "CChannelsBase::RemoveChannel : channel 1 removed"}));
  EXPECT_EQ(log.Messages(0).back(), "CChannelsBase::RefreshChannel : Error getting channel name");
}

// The listener reads the store while connection events rebuild it and
// channel events change it.
TEST_F(ChannelsBaseTest, SwitchesKeepWorkingWhileRebuildsRun) {
  LogInTempDirectory log(0);
  std::vector<SimulatedChannel> channels;
  for (uint64_t id = 1; id <= 500; ++id) channels.push_back({id, "channel " + std::to_string(id)});
  channels.push_back({1000, kFr251});
  host_.Establish(1, channels);
  store_.BuildDataBase(1);

  std::atomic<bool> done{false};
  // Joined however the test body ends, so a failed ASSERT below does not
  // leave a joinable thread behind (std::terminate).
  std::jthread builder([&] {
    for (int i = 0; i < 100; ++i) {
      store_.BuildDataBase(1);
      host_.AddChannel(1, {2000, "251.5"});
      store_.RefreshChannel(1, 2000);
      host_.RenameChannel(1, 1, "channel " + std::to_string(i));
      store_.RefreshChannel(1, 1);
      host_.DeleteChannel(1, 2000);
      store_.RemoveChannel(1, 2000);
    }
    done = true;
  });
  int switches = 0;
  while (!done) {
    const auto current = store_.Current();
    ASSERT_NE(current, nullptr);
    ASSERT_TRUE(current->ready);
    ASSERT_EQ(current->records().size(), channels.size());
    const CDB_item* target = current->FindFirst(kFr251);
    ASSERT_NE(target, nullptr);
    ASSERT_EQ(store_.SwitchChannel(1, *target), 1);
    ++switches;
  }
  builder.join();
  EXPECT_GT(switches, 0);
  EXPECT_EQ(host_.Moves().size(), static_cast<size_t>(switches));
}

}  // namespace
