#include "commands/channel_creation_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Clock = ChannelCreationQueue::Clock;

ChannelCreation Channel(const std::string& name, int32_t kilohertz) {
  return {{name, {kilohertz}}, false};
}

// Plays the client: records each request, hands out codes "c1", "c2"...
// (none when `withCodes` is false) and refuses the ones named in `refused`.
struct FakeClient {
  bool withCodes = true;
  std::vector<std::string> refused;
  std::vector<std::string> sent;  // "connection/parent/name/code"
  int codes = 0;

  ChannelCreationQueue::Send Sender() {
    return [this](const CreationRequest& request, std::string* returnCode) -> uint32_t {
      const std::string& name = request.creation.channel.name;
      for (const std::string& refusal : refused) {
        if (refusal == name) return 1794;
      }
      if (withCodes) *returnCode = std::string("c") + std::to_string(++codes);
      sent.push_back(std::to_string(request.connection) + "/" + std::to_string(request.parent) +
                     "/" + name + "/" + *returnCode);
      return 0;
    };
  }
};

std::vector<std::string> Texts(const std::vector<TabLine>& lines) {
  std::vector<std::string> texts;
  for (const TabLine& line : lines) texts.push_back(std::to_string(line.connection) + " " + line.text);
  return texts;
}

TEST(ChannelCreationQueue, EachTabSendsOneAtATimeAndEveryAnswerIsOneLine) {
  ChannelCreationQueue queue;
  FakeClient client;
  const Clock::time_point now{};
  std::vector<TabLine> lines;
  queue.Add(1, 0, {Channel("262.1", 262100), Channel("262.2", 262200), Channel("262.3", 262300)});
  queue.Add(2, 40, {Channel("262.1", 262100)});
  queue.Pump(now, client.Sender(), &lines);
  EXPECT_EQ(client.sent, (std::vector<std::string>{"1/0/262.1/c1", "2/40/262.1/c2"}));

  // Success told twice, by the new channel then by the code: one line, and
  // the late code is still ours for the client not to show.
  queue.OnCreatedByUs(1, "262.1", &lines);
  EXPECT_TRUE(queue.OnServerAnswer(1, "c1", 0, "ok", &lines));
  queue.Pump(now, client.Sender(), &lines);
  // Another tab's answer, and a code that is not ours, end nothing.
  EXPECT_FALSE(queue.OnServerAnswer(1, "other_plugin:9", 0x0303, "in use", &lines));
  EXPECT_TRUE(queue.OnServerAnswer(1, "c3", 0x0303, "channel name is already in use", &lines));
  queue.Pump(now, client.Sender(), &lines);
  EXPECT_TRUE(queue.OnServerAnswer(2, "c2", 0, "ok", &lines));
  EXPECT_EQ(client.sent.size(), 4u);
  EXPECT_EQ(client.sent.back(), "1/0/262.3/c4");
  EXPECT_EQ(Texts(lines),
            (std::vector<std::string>{
                "1 created \"262.1\" (262.100 MHz) at the top level.",
                "1 \"262.2\" (262.200 MHz) refused: channel name is already in use.",
                "2 created \"262.1\" (262.100 MHz) at the top level.",
            }));
}

TEST(ChannelCreationQueue, WithoutCodesTheNewChannelOrAnUnmarkedRefusalAnswers) {
  ChannelCreationQueue queue;
  FakeClient client;
  client.withCodes = false;
  const Clock::time_point now{};
  std::vector<TabLine> lines;
  queue.Add(1, 0, {Channel("262.1", 262100), Channel("262.2", 262200)});
  queue.Pump(now, client.Sender(), &lines);
  EXPECT_FALSE(queue.OnServerAnswer(1, "", 0, "ok", &lines));
  queue.OnCreatedByUs(1, "Lobby 2", &lines);
  queue.OnCreatedByUs(2, "262.1", &lines);
  EXPECT_TRUE(lines.empty());
  queue.OnCreatedByUs(1, "262.1", &lines);
  queue.Pump(now, client.Sender(), &lines);
  // Refusals of a move, the plugin's or the client's, are no creation's.
  for (const uint32_t moveError : {0x0300u, 0x0302u, 0x0309u, 0x030au, 0x030du, 0x0200u, 0x0001u}) {
    EXPECT_FALSE(queue.OnServerAnswer(1, "", moveError, "move refused", &lines)) << moveError;
  }
  ASSERT_EQ(lines.size(), 1u);
  // The client shows an unmarked error itself: not ours to hide.
  EXPECT_FALSE(queue.OnServerAnswer(1, "", 0x0a08, "insufficient client permissions", &lines));
  EXPECT_EQ(client.sent, (std::vector<std::string>{"1/0/262.1/", "1/0/262.2/"}));
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{
                              "1 created \"262.1\" (262.100 MHz) at the top level.",
                              "1 \"262.2\" (262.200 MHz) refused: insufficient client "
                              "permissions; you need b_channel_create_permanent.",
                          }));
}

TEST(ChannelCreationQueue, ARequestNotSentOrNotAnsweredDoesNotHoldTheRestBack) {
  ChannelCreationQueue queue;
  FakeClient client;
  client.refused = {"262.1"};
  const Clock::time_point start{};
  std::vector<TabLine> lines;
  queue.Add(1, 0, {Channel("262.1", 262100), Channel("262.2", 262200), Channel("262.3", 262300)});
  queue.Pump(start, client.Sender(), &lines);
  EXPECT_EQ(client.sent, (std::vector<std::string>{"1/0/262.2/c1"}));
  queue.Pump(start + ChannelCreationQueue::kAnswerTimeout - std::chrono::milliseconds(1),
             client.Sender(), &lines);
  EXPECT_EQ(client.sent.size(), 1u);
  queue.Pump(start + ChannelCreationQueue::kAnswerTimeout, client.Sender(), &lines);
  EXPECT_EQ(client.sent.back(), "1/0/262.3/c2");
  // The late answer is ours still, and tells nothing more.
  EXPECT_TRUE(queue.OnServerAnswer(1, "c1", 0, "ok", &lines));
  EXPECT_EQ(Texts(lines),
            (std::vector<std::string>{
                "1 \"262.1\" (262.100 MHz) not created: the client could not send the request "
                "(error 1794).",
                "1 \"262.2\" (262.200 MHz): no answer from the server within 10 s; /zovik check "
                "tells whether it was created.",
            }));
}

TEST(ChannelCreationQueue, ExpiringGivesUpWithoutSending) {
  ChannelCreationQueue queue;
  FakeClient client;
  const Clock::time_point start{};
  std::vector<TabLine> lines;
  queue.Add(1, 0, {Channel("262.1", 262100), Channel("262.2", 262200)});
  queue.Pump(start, client.Sender(), &lines);
  queue.Expire(start + ChannelCreationQueue::kAnswerTimeout - std::chrono::milliseconds(1),
               &lines);
  EXPECT_TRUE(lines.empty());
  queue.Expire(start + ChannelCreationQueue::kAnswerTimeout, &lines);
  queue.Expire(start + 2 * ChannelCreationQueue::kAnswerTimeout, &lines);
  EXPECT_EQ(client.sent.size(), 1u);
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{
                              "1 \"262.1\" (262.100 MHz): no answer from the server within 10 s; "
                              "/zovik check tells whether it was created."}));
  queue.Pump(start + 2 * ChannelCreationQueue::kAnswerTimeout, client.Sender(), &lines);
  EXPECT_EQ(client.sent.back(), "1/0/262.2/c2");
}

TEST(ChannelCreationQueue, ATabWhoseConnectionChangesDropsItsCreations) {
  ChannelCreationQueue queue;
  FakeClient client;
  const Clock::time_point now{};
  std::vector<TabLine> lines;
  queue.Add(1, 0, {Channel("262.1", 262100), Channel("262.2", 262200), Channel("262.3", 262300)});
  queue.Add(2, 0, {Channel("262.1", 262100)});
  queue.Pump(now, client.Sender(), &lines);
  queue.DropTab(1, &lines);
  queue.DropTab(1, &lines);  // a second status change: nothing left to tell
  queue.DropTab(3, &lines);
  // The old server's late answer is still ours, and nothing more goes to
  // the tab, whatever server it now reaches.
  EXPECT_TRUE(queue.OnServerAnswer(1, "c1", 0x0303, "channel name is already in use", &lines));
  queue.Pump(now, client.Sender(), &lines);
  queue.OnCreatedByUs(2, "262.1", &lines);
  EXPECT_EQ(client.sent, (std::vector<std::string>{"1/0/262.1/c1", "2/0/262.1/c2"}));
  EXPECT_EQ(Texts(lines), (std::vector<std::string>{
                              "1 3 channels not created: the connection changed before the "
                              "server answered. Type the command again once connected; /zovik "
                              "check tells what is there.",
                              "2 created \"262.1\" (262.100 MHz) at the top level.",
                          }));
}

}  // namespace
