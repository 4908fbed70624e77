// The real plugin library, loaded the way the voice client loads it, with
// frequencies arriving on UDP port 10500.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/client_api.h"
#include "platform/platform.h"
#include "tests/support/level_setting.h"
#include "tests/support/plugin_session.h"
#include "tests/support/process_counts.h"

namespace {

using Strings = std::vector<std::string>;

// The frequency channels of the stand-in's default server.
constexpr uint64_t kFr251Id = 10;
constexpr uint64_t kFr30Id = 15;
constexpr uint64_t k2515Id = 11;
constexpr uint64_t k127525Id = 13;

// Sends a frequency that moves the client and waits for it: every datagram
// sent before has been handled by then, since one thread takes them in order.
void Sync(PluginSession& session, const std::string& datagram = "251500") {
  ASSERT_TRUE(session.SendAndWaitForMove(datagram)) << "no move for " << datagram;
}

// Holds UDP port 10500 in this process for as long as it lives.
class PortHolder {
 public:
  PortHolder() {
    PlatformSocketsStartup();
    const char* stage = "";
    int error = 0;
    socket_ = PlatformUdpOpen(10500, &stage, &error);
    EXPECT_NE(socket_, nullptr) << "cannot hold the port: " << stage << " error " << error;
  }
  ~PortHolder() { Release(); }
  void Release() {
    if (socket_ == nullptr) return;
    PlatformUdpClose(socket_);
    PlatformSocketsCleanup();
    socket_ = nullptr;
  }

 private:
  PlatformUdpSocket* socket_ = nullptr;
};

TEST(PluginIdentity, ExportsTheClientExpects) {
  PluginSession session;
  ASSERT_TRUE(session.Load());
  const PluginExports& plugin = session.library.exports();
  if (kFixedPluginApiVersion != 0) {
    EXPECT_EQ(plugin.apiVersion(), kFixedPluginApiVersion);
  }
  EXPECT_TRUE(StandInClient().Accepts(plugin.apiVersion()))
      << StandInClient().Refusal(plugin.apiVersion()) << " (client " << StandInClient().version
      << ")";
  EXPECT_STREQ(plugin.name(), "ZOVIK");
  EXPECT_EQ(plugin.name(), plugin.name());  // converted once, then the same text
  EXPECT_STREQ(plugin.version(), "1.0.01");
  EXPECT_NE(std::strstr(plugin.author(), "Wemto"), nullptr);
  EXPECT_NE(std::strstr(plugin.author(), "2013"), nullptr);
  const std::string description = plugin.description();
  const size_t lineFeed = description.find('\n');
  ASSERT_NE(lineFeed, std::string::npos);
  EXPECT_GT(lineFeed, 0u);
  EXPECT_EQ(description.substr(lineFeed + 1),
            "Interconnection avec DCS-World (c) Fighter Collection - Eagle dynamics");
}

// The client's Settings button: a dialog where there is one (Windows; its
// window is tested in settings_dialog_test), none on Linux, where the
// environment is read; the fixed API 20 build offers nothing.
TEST(PluginIdentity, SettingsButtonWhereThereIsADialog) {
  std::string error;
  void* library = OpenLibrary(ProgramDirectory() + PluginFileName(), &error);
  ASSERT_NE(library, nullptr) << error;
  auto offers = reinterpret_cast<int (*)()>(FindSymbol(library, "ts3plugin_offersConfigure"));
  auto configure = FindSymbol(library, "ts3plugin_configure");
  if (kFixedPluginApiVersion == 20) {
    EXPECT_EQ(offers, nullptr);
    EXPECT_EQ(configure, nullptr);
  } else {
    ASSERT_NE(offers, nullptr);
    EXPECT_NE(configure, nullptr);
    EXPECT_EQ(offers(), PlatformHasSettingsDialog() ? 1 : 0);
  }
  CloseLibrary(library);
}

TEST(PluginIdentity, PluginIdIsRegisteredFromClient31On) {
  PluginSession session;
  ASSERT_TRUE(session.Load());
  const PluginExports& plugin = session.library.exports();
  if (kFixedPluginApiVersion == 20) {
    EXPECT_EQ(plugin.registerPluginID, nullptr);
    return;
  }
  ASSERT_NE(plugin.registerPluginID, nullptr);
  if (!StandInClient().UsesPluginID()) GTEST_SKIP() << "clients before 3.1 give no ID";
  // The stand-in registered its ID; a plugin that asked for its directory
  // without it would get none and so no log.
  ASSERT_EQ(session.Init(), 0);
  EXPECT_TRUE(session.WaitForListener());
  session.Shutdown();
  EXPECT_EQ(session.host.PluginIdMismatches(), 0);

  // Another ID registered: the client's getPluginPath refuses the plugin's
  // question, so the plugin must be passing what it was given.
  plugin.registerPluginID("some_other_id");
  ASSERT_EQ(session.Init(), 0);
  session.Shutdown();
  EXPECT_EQ(session.host.PluginIdMismatches(), 1);
  session.host.Reset();  // the mismatch was the point of this step
  plugin.registerPluginID(kStandInPluginID);
}

TEST(PluginStart, InitSucceedsWithoutSettingOrLogFolder) {
  PluginSession session(kNoLevelSetting, /*withLogFolder=*/false);
  ASSERT_TRUE(session.Load());
  EXPECT_EQ(session.Init(), 0);
  session.host.SetChannels(1, DefaultChannels());
  session.Connect();
  // No log, but the radio still works.
  EXPECT_TRUE(session.SendUntilMoved("251000"));
  EXPECT_TRUE(std::filesystem::is_empty(session.directory.path()));
}

TEST(PluginStart, DefaultLevelLogsStartAndConnection) {
  PluginSession session(kNoLevelSetting);
  ASSERT_TRUE(session.StartConnected());
  Sync(session, "251000");
  session.Shutdown();
  EXPECT_EQ(session.TaggedMessages(),
            (Strings{"L0 Initialize Log file with 0 level", "L0 ZOVIK plugin initialized",
                     "L0 UDPServer : Thread UDP server started on 10500",
                     "L0 onConnectStatusChangeEvent : Client connected",
                     "L0 onConnectStatusChangeEvent : Number of channels : 10",
                     "L0 PLUGIN: shutdown"}));
}

TEST(PluginStart, LoggingOffLeavesAnEmptyFileAndStillSwitches) {
  PluginSession session(-1);
  ASSERT_TRUE(session.Start());
  session.host.SetChannels(1, DefaultChannels());
  session.Connect();
  EXPECT_TRUE(session.SendUntilMoved("251000"));
  session.Shutdown();
  EXPECT_TRUE(session.LogLines().empty());
  EXPECT_TRUE(std::filesystem::exists(PathFromUtf8(session.LogPath())));
}

class PluginSwitchTest : public ::testing::Test {
 protected:
  void StartAt(int level) {
    session_ = std::make_unique<PluginSession>(level);
    ASSERT_TRUE(session_->Start());
    ASSERT_TRUE(session_->WaitForListener());
    session_->host.SetChannels(1, DefaultChannels());
  }
  PluginSession& s() { return *session_; }
  std::unique_ptr<PluginSession> session_;
};

TEST_F(PluginSwitchTest, FullSwitchAtLevelFive) {
  StartAt(5);
  s().host.SetChannels(1, {{1, "Lobby"}, {42, Fr("251")}});
  s().Connect();
  Sync(s(), "251000");
  s().Shutdown();
  EXPECT_EQ(s().TaggedMessages("onConnectStatusChangeEvent : Client connected"),
            (Strings{
                "L0 onConnectStatusChangeEvent : Client connected",
                "L4 CChannelsBase::AddCDB_item : new channel : [Lobby]4C:6F:62:62:79:",
                "L4 CChannelsBase::AddCDB_item : new channel : [" + Fr("251") +
                    "]46:72:C3:A9:71:75:65:6E:63:65:73:20:32:35:31:",
                "L0 onConnectStatusChangeEvent : Number of channels : 2",
                "L5 UDPServer : Received : 251000",
                "L3 UDPServer : Frequency received from DCS World : 251000",
                "L5 UDPServer : Check channel [" + Fr("251") + "]",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 42",
                "L2 UDPServer : Swithed channel to [" + Fr("251") + "]",
                "L0 PLUGIN: shutdown",
            }));
  EXPECT_EQ(s().host.Moves().at(0).channel, 42u);
}

TEST_F(PluginSwitchTest, FullSwitchAtLevelThree) {
  StartAt(3);
  s().Connect();
  Sync(s(), "251000");
  EXPECT_EQ(s().TaggedMessages("onConnectStatusChangeEvent : Number of channels : 10"),
            (Strings{
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L3 UDPServer : Frequency received from DCS World : 251000",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 10",
                "L2 UDPServer : Swithed channel to [" + Fr("251") + "]",
            }));
}

TEST_F(PluginSwitchTest, RepeatOfASuccessfulSwitchIsDropped) {
  StartAt(3);
  s().Connect();
  Sync(s(), "251000");
  // The steady radio repeats the frequency: no move, so a user who moved
  // away by hand is not pulled back.
  s().Send("251000");
  s().Send(" 251000\n");
  Sync(s(), "251500");
  const std::vector<MoveRequest> moves = s().host.Moves();
  ASSERT_EQ(moves.size(), 2u);
  EXPECT_EQ(moves[0].channel, kFr251Id);
  EXPECT_EQ(moves[1].channel, k2515Id);
  EXPECT_TRUE(s().WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000", 1));
  EXPECT_FALSE(s().WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000", 2,
                                     std::chrono::milliseconds(0)));
}

TEST_F(PluginSwitchTest, FrequencyWithoutChannelIsLoggedEachTime) {
  StartAt(5);
  s().Connect();
  s().Send("260000");
  s().Send("260000");
  Sync(s());
  EXPECT_TRUE(s().WaitForLogMessage("UDPServer : Frequency received from DCS World : 260000", 2,
                                    std::chrono::milliseconds(0)));
  EXPECT_TRUE(s().WaitForLogMessage("UDPServer : Check channel [" + Fr("260") + "]", 2,
                                    std::chrono::milliseconds(0)));
  EXPECT_EQ(s().host.Moves().size(), 1u);
}

TEST_F(PluginSwitchTest, RefusedAndOutOfBandTextIsDroppedQuietly) {
  StartAt(3);
  s().Connect();
  for (const char* datagram : {"29999", "30000", "400000", "-251000", "abc", "251.000", "",
                               "4295218296"}) {
    s().Send(datagram);
  }
  Sync(s());
  EXPECT_EQ(s().TaggedMessages("onConnectStatusChangeEvent : Number of channels : 10"),
            (Strings{
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L3 UDPServer : Frequency received from DCS World : 251500",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 11",
                "L2 UDPServer : Swithed channel to [251.5]",
            }));
}

TEST_F(PluginSwitchTest, FrequencyHeardBeforeTheFirstConnectionActsAfterIt) {
  StartAt(3);
  s().Send("251000");
  ASSERT_TRUE(s().WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000"));
  EXPECT_TRUE(s().host.Moves().empty());
  s().Connect();
  Sync(s(), "251000");
  EXPECT_EQ(s().host.Moves().at(0).channel, kFr251Id);
}

TEST_F(PluginSwitchTest, StatusesBeforeEstablishedAreIgnored) {
  StartAt(5);
  for (int status = STATUS_DISCONNECTED; status < STATUS_CONNECTION_ESTABLISHED; ++status) {
    s().Status(1, status);
  }
  EXPECT_EQ(s().host.Calls(HostFunction::kGetChannelList), 0);
  s().Send("251000");
  ASSERT_TRUE(s().WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000"));
  EXPECT_EQ(s().TaggedMessages(PluginSession::kListenerStarted),
            (Strings{"L0 UDPServer : Thread UDP server started on 10500",
                     "L5 UDPServer : Received : 251000",
                     "L3 UDPServer : Frequency received from DCS World : 251000"}));
}

TEST_F(PluginSwitchTest, StoreFailuresAreReportedAndTheRadioRetries) {
  StartAt(0);
  s().host.FailNext(HostFunction::kGetChannelList, 1);
  s().Connect();
  s().host.SetChannels(1, {});
  s().Connect();
  s().host.SetChannels(1, DefaultChannels());
  s().host.FailAfter(HostFunction::kGetChannelVariableAsString, 2);
  s().Connect();
  s().host.FailAfter(HostFunction::kGetChannelVariableAsString, -1);
  s().Connect();

  // Own client refused, then the move refused: each arrival is tried anew.
  s().host.FailNext(HostFunction::kGetClientID, 1);
  s().Send("251000");
  ASSERT_TRUE(s().WaitForLogMessage("CChannelsBase::SwitchChannel : Error querying own client ID"));
  s().host.FailNext(HostFunction::kRequestClientMove, 1);
  s().Send("251000");
  ASSERT_TRUE(s().WaitForLogMessage(
      "CChannelsBase::SwitchChannel : Error moving client into channel channel"));
  EXPECT_TRUE(s().host.Moves().empty());
  Sync(s(), "251000");
  EXPECT_EQ(s().host.Moves().at(0).channel, kFr251Id);

  EXPECT_EQ(s().TaggedMessages("onConnectStatusChangeEvent : Client connected"),
            (Strings{
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 CChannelsBase::BuildDataBase : Error getting channel list",
                "L0 onConnectStatusChangeEvent : Number of channels : 0",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 CChannelsBase::BuildDataBase : No channels",
                "L0 onConnectStatusChangeEvent : Number of channels : 0",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 CChannelsBase::BuildDataBase : Error getting channel name",
                "L0 onConnectStatusChangeEvent : Number of channels : 2",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L0 CChannelsBase::SwitchChannel : Error querying own client ID",
                "L0 CChannelsBase::SwitchChannel : Error moving client into channel channel",
            }));
}

TEST_F(PluginSwitchTest, TwoChannelsOfOneNameOnlyTheFirstIsTried) {
  StartAt(0);
  s().host.SetChannels(1, {{1, "Lobby"}, {20, Fr("251")}, {21, Fr("251")}, {22, "251.5"}});
  s().Connect();
  s().host.FailNext(HostFunction::kRequestClientMove, 1);
  s().Send("251000");
  ASSERT_TRUE(s().WaitForLogMessage(
      "CChannelsBase::SwitchChannel : Error moving client into channel channel"));
  Sync(s(), "251500");
  Sync(s(), "251000");
  EXPECT_EQ(s().host.FailuresInjected(HostFunction::kRequestClientMove), 1);
  EXPECT_EQ(s().MovedChannels(), (std::vector<uint64_t>{22, 20}));
}

TEST_F(PluginSwitchTest, ReconnectionLetsTheRadioActAgain) {
  StartAt(3);
  s().Connect();
  Sync(s(), "251000");
  // The server came back with new identifiers; the client sits in its
  // default channel while the radio has not changed.
  s().host.SetChannels(1, {{1, "Lobby"}, {50, Fr("251")}, {51, "251.5"}});
  s().Connect();
  EXPECT_EQ(s().host.CurrentChannel(1), 1u);
  Sync(s(), "251000");
  EXPECT_EQ(s().host.CurrentChannel(1), 50u);
  // Within this connection the repeat is dropped again.
  s().Send("251000");
  Sync(s(), "251500");
  EXPECT_EQ(s().MovedChannels(), (std::vector<uint64_t>{kFr251Id, 50, 51}));
}

TEST_F(PluginSwitchTest, EventConnectionIsTheOneUsed) {
  StartAt(0);
  s().host.RemoveConnection(1);
  s().host.SetChannels(2, {{1, "Lobby"}, {77, Fr("251")}, {78, "251.5"}});
  s().Connect(2);
  Sync(s(), "251000");
  EXPECT_EQ(s().host.Moves().at(0).connection, 2u);
  EXPECT_EQ(s().host.Moves().at(0).channel, 77u);
  EXPECT_EQ(s().host.CurrentChannel(2), 77u);
}

TEST_F(PluginSwitchTest, OnlyTheFirst576BytesOfADatagramAreRead) {
  StartAt(5);
  s().Connect();
  // The digits end exactly at byte 576.
  Sync(s(), std::string(570, ' ') + "127525");
  // One byte further, the last digit is cut: 25150 is out of band.
  s().Send(std::string(571, ' ') + "251500");
  // A datagram far beyond the area still counts by its first bytes.
  Sync(s(), "251000" + std::string(5000, 'x'));
  EXPECT_EQ(s().MovedChannels(), (std::vector<uint64_t>{k127525Id, kFr251Id}));
  // Its level-5 line is one whole line, cut to what fits the message buffer.
  const std::string received = "UDPServer : Received : 251000" + std::string(488 - 6, 'x');
  EXPECT_TRUE(s().WaitForLogMessage(received, 1, std::chrono::milliseconds(0)));
}

TEST_F(PluginSwitchTest, TextEndsAtTheReceivedCount) {
  StartAt(3);
  s().Connect();
  const char first[] = {'2', '5', '1', '0', '0', '0', '\0'};
  s().SendBytes(first, sizeof first);
  ASSERT_TRUE(s().WaitForMoves(1));
  Sync(s(), "30001");
  EXPECT_EQ(s().host.Moves().back().channel, kFr30Id);
}

TEST(PluginLifecycle, ShutdownFreesThePortAndStartsAgain) {
  for (int cycle = 0; cycle < 5; ++cycle) {
    SCOPED_TRACE(cycle);
    PluginSession session(0);
    ASSERT_TRUE(session.StartConnected());
    Sync(session, "251000");
    session.Shutdown();
    // The port is free the moment shutdown returns.
    PortHolder{};
    session.Unload();
  }
}

TEST(PluginLifecycle, InitAgainWithoutUnloading) {
  PluginSession session(0);
  ASSERT_TRUE(session.StartConnected());
  Sync(session, "251000");
  session.Shutdown();
  ASSERT_EQ(session.Init(), 0);
  ASSERT_TRUE(session.WaitForListener());
  // A new start forgets the last switch; the store of the running connection stays.
  Sync(session, "251000");
  EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{kFr251Id, kFr251Id}));
}

TEST(PluginLifecycle, ShutdownBeforeTheListenerBindsReturns) {
  PortHolder holder;
  PluginSession session(0);
  ASSERT_TRUE(session.Start());
  // The listener is waiting to bind again.
  ASSERT_TRUE(session.WaitForLogPrefix("UDPServer : Cannot bind the UDP socket", 1));
  const int threads = CountOwnThreads();
  session.Shutdown();  // must not wait for the port
  // The listener is gone when shutdown returns, without having started.
  EXPECT_EQ(CountOwnThreads(), threads - 1);
  EXPECT_FALSE(session.WaitForListener(std::chrono::milliseconds(0)));
  EXPECT_EQ(session.TaggedMessages().back(), "L0 PLUGIN: shutdown");
}

TEST(PluginLifecycle, BusyPortIsReportedThenRecovered) {
  PortHolder holder;

  PluginSession session(0);
  ASSERT_TRUE(session.Start());
  session.host.SetChannels(1, DefaultChannels());
  session.Connect();
  ASSERT_TRUE(session.WaitForLogPrefix(
      "UDPServer : Cannot bind the UDP socket on port 10500 (error ", 1));
  // Nothing claims the listener started (that retries stay quiet is the
  // listener's own test).
  EXPECT_FALSE(session.WaitForListener(std::chrono::milliseconds(0)));
  holder.Release();
  ASSERT_TRUE(session.WaitForListener());
  Sync(session, "251000");
}

// The client's server tabs: which connection the store follows.
std::vector<SimulatedChannel> SecondServer() {
  return {{1, "Lobby"}, {70, Fr("251")}, {71, "251.5"}};
}

TEST(PluginTabs, EnabledWhileConnectedBuildsFromAnEstablishedTab) {
  struct Case {
    const char* what;
    uint64_t current;
    int status1, status2;
    uint64_t expected;  // 0: no build
  };
  for (const Case& c : {
           Case{"current tab established", 2, STATUS_CONNECTION_ESTABLISHED,
                STATUS_CONNECTION_ESTABLISHED, 2},
           Case{"current tab still connecting", 2, STATUS_CONNECTION_ESTABLISHED,
                STATUS_CONNECTION_ESTABLISHING, 1},
           Case{"no current tab", 0, STATUS_DISCONNECTED, STATUS_CONNECTION_ESTABLISHED, 2},
           Case{"nothing established", 1, STATUS_CONNECTED, STATUS_DISCONNECTED, 0},
       }) {
    SCOPED_TRACE(c.what);
    PluginSession session(3);
    session.host.SetChannels(1, DefaultChannels());
    session.host.SetChannels(2, SecondServer());
    session.host.SetConnectionStatus(1, c.status1);
    session.host.SetConnectionStatus(2, c.status2);
    session.host.SetCurrentConnection(c.current);
    ASSERT_TRUE(session.Start());
    ASSERT_TRUE(session.WaitForListener());
    if (c.expected == 0) {
      session.Send("251000");
      ASSERT_TRUE(
          session.WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000"));
      EXPECT_EQ(session.host.Calls(HostFunction::kGetChannelList), 0);
      EXPECT_EQ(session.host.Calls(HostFunction::kGetClientID), 0);
      continue;
    }
    Sync(session, "251000");
    EXPECT_EQ(session.host.Moves().at(0).connection, c.expected);
    // The lines of a connection event, with the count of that tab's channels.
    // The listener starts on its own thread: its line may fall between them.
    const std::string count = c.expected == 1 ? "10" : "3";
    Strings event;
    for (const std::string& line :
         session.TaggedMessages("onConnectStatusChangeEvent : Client connected")) {
      if (line.find(" onConnectStatusChangeEvent : ") != std::string::npos) event.push_back(line);
    }
    EXPECT_EQ(event, (Strings{"L0 onConnectStatusChangeEvent : Client connected",
                              "L0 onConnectStatusChangeEvent : Number of channels : " + count}));
  }
}

TEST(PluginTabs, LosingTheStoresTabLetsItGoWhateverTheClientAnswers) {
  PluginSession session(3);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForListener());
  session.host.SetChannels(2, SecondServer());
  session.Connect(2);
  session.host.SetChannels(1, DefaultChannels());
  session.Connect(1);
  Sync(session, "251000");

  // Another tab going away changes nothing.
  session.host.SetChannels(3, DefaultChannels());
  session.Connect(3);
  session.Connect(1);
  session.Status(3, STATUS_DISCONNECTED);

  // The store's tab is lost and the client cannot list its tabs: the radio
  // goes quiet rather than asking the dead tab for anything.
  const int clientIdCalls = session.host.Calls(HostFunction::kGetClientID);
  session.host.FailNext(HostFunction::kGetServerConnectionHandlerList, 1);
  session.Status(1, STATUS_DISCONNECTED);
  session.Send("251500");
  ASSERT_TRUE(
      session.WaitForLogMessage("UDPServer : Frequency received from DCS World : 251500", 1));

  // Lost again while tab 2's status cannot be read: tab 2 is passed over
  // and the radio goes on in tab 3.
  session.Connect(3);
  session.Connect(1);
  session.host.FailNext(HostFunction::kGetConnectionStatus, 1);
  session.Status(1, STATUS_DISCONNECTED);
  Sync(session, "251000");

  // Then in tab 2, the last one, and with none left the radio is quiet.
  session.Status(3, STATUS_DISCONNECTED);
  Sync(session, "251500");
  session.Status(2, STATUS_DISCONNECTED);
  session.Send("251000");
  ASSERT_TRUE(
      session.WaitForLogMessage("UDPServer : Frequency received from DCS World : 251000", 3));
  session.Connect(1);
  Sync(session, "251000");

  using Move = std::pair<uint64_t, uint64_t>;  // connection, channel
  std::vector<Move> moves;
  for (const MoveRequest& move : session.host.Moves()) {
    moves.emplace_back(move.connection, move.channel);
  }
  EXPECT_EQ(moves, (std::vector<Move>{{1, 10}, {3, 10}, {2, 71}, {1, 10}}));
  // Only the moves asked for their client: never a lost tab.
  EXPECT_EQ(session.host.Calls(HostFunction::kGetClientID), clientIdCalls + 3);
  EXPECT_EQ(session.TaggedMessages("onConnectStatusChangeEvent : Client disconnected"),
            (Strings{
                "L0 onConnectStatusChangeEvent : Client disconnected",
                "L0 FindEstablishedConnection : Error getting server connection list",
                "L0 onConnectStatusChangeEvent : Number of channels : 0",
                "L3 UDPServer : Frequency received from DCS World : 251500",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L0 onConnectStatusChangeEvent : Client disconnected",
                "L0 FindEstablishedConnection : Error getting connection status",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L3 UDPServer : Frequency received from DCS World : 251000",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 10",
                "L2 UDPServer : Swithed channel to [" + Fr("251") + "]",
                "L0 onConnectStatusChangeEvent : Client disconnected",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 3",
                "L3 UDPServer : Frequency received from DCS World : 251500",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 71",
                "L2 UDPServer : Swithed channel to [251.5]",
                "L0 onConnectStatusChangeEvent : Client disconnected",
                "L0 onConnectStatusChangeEvent : Number of channels : 0",
                "L3 UDPServer : Frequency received from DCS World : 251000",
                "L0 onConnectStatusChangeEvent : Client connected",
                "L0 onConnectStatusChangeEvent : Number of channels : 10",
                "L3 UDPServer : Frequency received from DCS World : 251000",
                "L3 CChannelsBase::SwitchChannel : Switching into channel 10",
                "L2 UDPServer : Swithed channel to [" + Fr("251") + "]",
            }));
}

// ---- Channels that change while the user is connected ----------------------

// The library that answers each client has the channel events and the chat;
// the fixed API 20 build has neither.
constexpr bool kLiveLibrary = kFixedPluginApiVersion == 0;

TEST(PluginLive, ChannelsCreatedRenamedOrDeletedCountForTheNextDatagram) {
  PluginSession session(3);
  ASSERT_TRUE(session.Start());
  ASSERT_TRUE(session.WaitForListener());
  const PluginExports& plugin = session.library.exports();
  session.host.SetChannels(2, SecondServer());
  session.Connect(2);
  session.host.SetChannels(1, DefaultChannels());
  PlayConnection(plugin, 1);
  // A channel event per channel while connecting, but the channels are read
  // once, when the connection is established.
  EXPECT_EQ(session.host.Calls(HostFunction::kGetChannelList), 2);
  EXPECT_EQ(session.host.Calls(HostFunction::kGetChannelVariableAsString), 3 + 10);
  Sync(session, "251000");

  ASSERT_TRUE(PlayChannelCreated(plugin, 1, {40, Fr("262")}));
  if (!kLiveLibrary) {
    for (const void* event :
         {reinterpret_cast<const void*>(plugin.onNewChannelEvent),
          reinterpret_cast<const void*>(plugin.onNewChannelCreatedEvent),
          reinterpret_cast<const void*>(plugin.onDelChannelEvent),
          reinterpret_cast<const void*>(plugin.onUpdateChannelEvent),
          reinterpret_cast<const void*>(plugin.onUpdateChannelEditedEvent)}) {
      EXPECT_EQ(event, nullptr);
    }
    // Found after the next connection only, and no word in the chat.
    session.Send("262000");
    Sync(session, "251500");
    PlayConnection(plugin, 1);
    Sync(session, "262000");
    EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{kFr251Id, k2515Id, 40}));
    EXPECT_TRUE(session.host.ChatLines().empty());
    return;
  }
  Sync(session, "262000");
  // Renamed: found under its new name only.
  ASSERT_TRUE(PlayChannelRenamed(plugin, 1, k2515Id, "262.5"));
  session.Send("251500");
  Sync(session, "262500");
  // Deleted: its frequency asks the client for nothing.
  ASSERT_TRUE(PlayChannelDeleted(plugin, 1, 40));
  const int moveRequests = session.host.Calls(HostFunction::kRequestClientMove);
  session.Send("262000");
  Sync(session, "251000");
  EXPECT_EQ(session.host.Calls(HostFunction::kRequestClientMove), moveRequests + 1);
  // Another tab's channels are not the radio's.
  ASSERT_TRUE(PlayChannelCreated(plugin, 2, {80, Fr("127")}));
  session.Send("127000");
  Sync(session, "262500");
  EXPECT_EQ(session.MovedChannels(),
            (std::vector<uint64_t>{kFr251Id, 40, k2515Id, kFr251Id, k2515Id}));
}

TEST(PluginLive, AChangeElsewhereKeepsTheRepeatAChangeOfItsChannelEndsIt) {
  if (!kLiveLibrary) GTEST_SKIP() << "no channel events in the fixed API 20 build";
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  const PluginExports& plugin = session.library.exports();
  Sync(session, "127525");
  // Renamed elsewhere, or a second channel of its name after it: the resend
  // is still a repeat, and a user who left the channel by hand stays out.
  ASSERT_TRUE(PlayChannelRenamed(plugin, 1, 12, "251.255"));
  ASSERT_TRUE(PlayChannelCreated(plugin, 1, {41, "127.525"}));
  session.Send("127525");
  // A frequency without a channel moves nothing: once it is logged, the
  // resend before it has been handled.
  const std::string marker = "UDPServer : Frequency received from DCS World : 299000";
  session.Send("299000");
  ASSERT_TRUE(session.WaitForLogMessage(marker, 1));
  EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{k127525Id}));
  // Its own channel deleted: the resend goes to the other one of its name.
  ASSERT_TRUE(PlayChannelDeleted(plugin, 1, k127525Id));
  Sync(session, "127525");
  EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{k127525Id, 41}));
}

// ---- Telling the pilot in the chat ----------------------------------------

TEST(PluginChat, AFrequencyWithoutChannelIsToldOnceAndAFloodIsCut) {
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  session.Send("262000");
  session.Send("262000");
  Sync(session, "251000");
  if (!kLiveLibrary) {
    EXPECT_TRUE(session.host.ChatLines().empty());
    return;
  }
  const std::vector<ChatLine> lines = session.host.ChatLines();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].connection, 1u);
  EXPECT_EQ(lines[0].target, PLUGIN_MESSAGE_TARGET_SERVER);
  EXPECT_NE(lines[0].text.find(" 262.000 MHz "), std::string::npos) << lines[0].text;
  EXPECT_NE(lines[0].text.find("\"" + Fr("262") + "\""), std::string::npos) << lines[0].text;

  // Made-up frequencies: two more lines within ten seconds, the rest counted.
  for (int frequency = 263000; frequency < 273000; frequency += 1000) {
    session.Send(std::to_string(frequency));
  }
  Sync(session, "251500");
  EXPECT_EQ(session.host.ChatLines().size(), 3u);
  EXPECT_TRUE(session.WaitForLogPrefix("UDPServer : Too many chat notices, none for ", 8,
                                       std::chrono::milliseconds(0)));
  EXPECT_FALSE(session.WaitForLogPrefix("UDPServer : Too many chat notices, none for ", 9,
                                        std::chrono::milliseconds(0)));

  // "Chat Notices" at 0, read at the next start: no more lines.
  session.Shutdown();
  SetSettingText(Setting::kChatNotices, L"0");
  ASSERT_EQ(session.Init(), 0);
  ASSERT_TRUE(session.WaitForListener());
  session.Send("299000");
  // The new log has none of the earlier moves' lines: waited for by the move.
  session.Send("251000");
  ASSERT_TRUE(session.WaitForMoves(3));
  EXPECT_EQ(session.host.ChatLines().size(), 3u);
}

}  // namespace

// ---- The admin's /zovik command ---------------------------------------------

// What the plugin printed into tab `connection`'s chat, and what the client
// showed there of the errors the plugin left to it, as "ERROR: text".
Strings ChatOf(PluginSession& session, uint64_t connection) {
  Strings texts;
  for (const ChatLine& line : session.host.ChatLines()) {
    if (line.connection != connection) continue;
    texts.push_back(line.target == kClientErrorLine ? "ERROR: " + line.text : line.text);
  }
  return texts;
}

void PlayServerAnswers(const PluginExports& plugin) {
  while (PlayServerAnswer(plugin)) {
  }
}

TEST(PluginCommand, CreatesWhatIsMissingOneRequestAtATimeForTheNextDatagram) {
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  const PluginExports& plugin = session.library.exports();
  const bool typed = PlayTypedCommand(plugin, 1, "/zovik create 262 251 262.050 127.525 38.5");
  if (!kLiveLibrary) {
    EXPECT_FALSE(typed);
    for (const void* export_ :
         {reinterpret_cast<const void*>(plugin.commandKeyword),
          reinterpret_cast<const void*>(plugin.processCommand),
          reinterpret_cast<const void*>(plugin.onServerErrorEvent),
          reinterpret_cast<const void*>(plugin.onServerPermissionErrorEvent)}) {
      EXPECT_EQ(export_, nullptr);
    }
    return;
  }
  ASSERT_TRUE(typed);
  PlayServerAnswers(plugin);
  const std::vector<CreationFlush> flushes = session.host.CreationFlushes();
  ASSERT_EQ(flushes.size(), 2u);
  for (const CreationFlush& flush : flushes) {
    EXPECT_EQ(flush.parent, 0u);
    EXPECT_EQ(flush.permanent, "1");
    EXPECT_EQ(flush.error, 0u);
    // The next request leaves once the previous one was answered.
    EXPECT_EQ(flush.answersUndelivered, 0u);
  }
  EXPECT_EQ(flushes[0].name, Fr("262"));
  EXPECT_EQ(flushes[1].name, "38.5");
  if (StandInClient().UsesPluginID()) {
    EXPECT_NE(flushes[0].returnCode, flushes[1].returnCode);
    EXPECT_EQ(flushes[0].returnCode.rfind(kStandInPluginID, 0), 0u) << flushes[0].returnCode;
  } else {
    EXPECT_EQ(flushes[0].returnCode, "(null)");  // clients before 3.1 gave no plugin ID
  }
  EXPECT_EQ(ChatOf(session, 1),
            (Strings{
                "ZOVIK: \"" + Fr("251") + "\" (251.000 MHz) is already there, left as it is.",
                "ZOVIK: \"127.525\" (127.525 MHz) is already there, left as it is.",
                "ZOVIK: created \"" + Fr("262") + "\" (262.000, 262.050 MHz) at the top level.",
                "ZOVIK: created \"38.5\" (38.500 MHz) at the top level.",
            }));
  Sync(session, "262050");
  EXPECT_EQ(session.MovedChannels(), (std::vector<uint64_t>{flushes[0].channel}));
}

TEST(PluginCommand, NothingQueuedReachesTheServerATabConnectsToNext) {
  if (!kLiveLibrary) GTEST_SKIP() << "no chat command in the fixed API 20 build";
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  const PluginExports& plugin = session.library.exports();
  // The chat turned "--" into a dash: nothing of the line is done.
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create \xE2\x80\x94here 265"));
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create 265 266 267"));
  PlayStatus(plugin, 1, STATUS_DISCONNECTED);
  PlayStatus(plugin, 1, STATUS_CONNECTION_ESTABLISHED);
  PlayServerAnswers(plugin);
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik help"));

  const std::vector<CreationFlush> flushes = session.host.CreationFlushes();
  ASSERT_EQ(flushes.size(), 1u);
  EXPECT_EQ(flushes[0].name, Fr("265"));
  const Strings chat = ChatOf(session, 1);
  ASSERT_GE(chat.size(), 2u);
  EXPECT_EQ(chat[0],
            "ZOVIK: not understood: \"\xE2\x80\x94here\"; nothing done. /zovik help tells "
            "what to type.");
  EXPECT_EQ(chat[1],
            "ZOVIK: 3 channels not created: the connection changed before the server answered. "
            "Type the command again once connected; /zovik check tells what is there.");
}

TEST(PluginCommand, ARequestLeftWithoutAnswerIsToldWithoutAnotherEvent) {
  if (!kLiveLibrary) GTEST_SKIP() << "no chat command in the fixed API 20 build";
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  const PluginExports& plugin = session.library.exports();
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create 268"));
  // The server's answer is never played, nor any other event.
  ASSERT_TRUE(session.host.WaitForChatLines(1, std::chrono::milliseconds(11000)));
  EXPECT_EQ(ChatOf(session, 1),
            (Strings{"ZOVIK: \"" + Fr("268") +
                     "\" (268.000 MHz): no answer from the server within 10 s; /zovik check "
                     "tells whether it was created."}));
}

TEST(PluginCommand, RefusalsAreToldWithTheServersWords) {
  if (!kLiveLibrary) GTEST_SKIP() << "no chat command in the fixed API 20 build";
  PluginSession session(3);
  ASSERT_TRUE(session.StartConnected());
  const PluginExports& plugin = session.library.exports();
  Sync(session, "251500");  // the admin stands in channel 11
  session.host.SetCreatePermission(1, false);
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create --here 263"));
  PlayServerAnswers(plugin);
  session.host.SetCreatePermission(1, true);
  // Typed twice before the server answered: the second asks for a name the
  // first has just taken.
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create 264"));
  ASSERT_TRUE(PlayTypedCommand(plugin, 1, "/zovik create 264"));
  PlayServerAnswers(plugin);
  // A tab that is not connected asks nothing of a server.
  ASSERT_TRUE(PlayTypedCommand(plugin, 5, "/zovik check 264"));

  const std::vector<CreationFlush> flushes = session.host.CreationFlushes();
  ASSERT_EQ(flushes.size(), 3u);
  EXPECT_EQ(flushes[0].parent, k2515Id);
  EXPECT_EQ(flushes[2].answersUndelivered, 0u);
  const std::string permissions = "ZOVIK: \"" + Fr("263") +
                                  "\" (263.000 MHz) refused: insufficient client permissions; you "
                                  "need b_channel_create_permanent and b_channel_create_child.";
  Strings expected{
      permissions, "ZOVIK: created \"" + Fr("264") + "\" (264.000 MHz) at the top level.",
      "ZOVIK: \"" + Fr("264") + "\" (264.000 MHz) refused: channel name is already in use."};
  // Without a return code the client shows each refusal as well.
  if (!StandInClient().UsesPluginID()) {
    expected.insert(expected.begin() + 1, "ERROR: insufficient client permissions");
    expected.push_back("ERROR: channel name is already in use");
  }
  EXPECT_EQ(ChatOf(session, 1), expected);
  EXPECT_EQ(ChatOf(session, 5),
            (Strings{"ZOVIK: this tab is not connected to a server: connect, then type the "
                     "command again."}));
}
