// The channels a /zovik create asked for, on their way to the server. Each
// server tab sends one request at a time, the next once the server answered
// the previous one: the lines come in the order typed, and a burst never
// meets the server's flood protection. Every answer is matched to its
// request and gives one chat line. The caller sends and prints; nothing
// here touches the client.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "commands/zovik_command.h"

// A line to print in the chat of a server tab.
struct TabLine {
  uint64_t connection;
  std::string text;
};

// One channel to ask of the client on `connection`, under channel `parent`
// (0: the top level).
struct CreationRequest {
  uint64_t connection;
  uint64_t parent;
  const ChannelCreation& creation;
};

class ChannelCreationQueue {
 public:
  using Clock = std::chrono::steady_clock;
  // A request the server has not answered by then is given up, so that one
  // lost answer does not hold back the rest.
  static constexpr std::chrono::seconds kAnswerTimeout{10};

  // Sends `request`: 0, or the client's error when it could not. Sets
  // *returnCode to the code the request went with, or leaves it empty when
  // it went without one; then only the new channel's event tells success.
  using Send = std::function<uint32_t(const CreationRequest& request, std::string* returnCode)>;

  // Queues `creations` asked on `connection`, after those queued before.
  void Add(uint64_t connection, uint64_t parent, std::vector<ChannelCreation> creations);

  // Gives up the requests unanswered for kAnswerTimeout, then sends the next
  // creation of every tab that has none on its way. Appends a line for each
  // creation that ended here.
  void Pump(Clock::time_point now, const Send& send, std::vector<TabLine>* lines);

  // Gives up the requests unanswered for kAnswerTimeout, sending nothing:
  // for a thread that must not call the client's sending functions.
  void Expire(Clock::time_point now, std::vector<TabLine>* lines);

  // The server's answer `error` (0: done) with `message`, carrying
  // `returnCode` ("" for none). True when the code is one of ours, even one
  // already answered: the client must not show it again. An answer without
  // a code is taken as the refusal of a request that went without one,
  // since each tab has one request on its way at most.
  bool OnServerAnswer(uint64_t connection, std::string_view returnCode, uint32_t error,
                      std::string_view message, std::vector<TabLine>* lines);

  // The connection of `connection`'s tab was lost or made again, perhaps to
  // another server: its creations are dropped, the one on its way too, and
  // one line tells how many were not created.
  void DropTab(uint64_t connection, std::vector<TabLine>* lines);

  // The own client created channel `name` on `connection`: the request on
  // its way there succeeded, if it is for that name.
  void OnCreatedByUs(uint64_t connection, std::string_view name, std::vector<TabLine>* lines);

 private:
  struct Entry {
    ChannelCreation creation;
    uint64_t parent = 0;
    bool sent = false;
    std::string returnCode;
    Clock::time_point sentAt;
  };
  using Tab = std::deque<Entry>;

  // The tab of `connection` when a request of it is on its way (at its
  // front), else tabs_.end().
  std::map<uint64_t, Tab>::iterator TabWaiting(uint64_t connection);
  // Ends the front request of `tab` with `line`; its code is remembered as
  // answered. The tab is left in place, emptied perhaps, for Pump.
  void Finish(std::map<uint64_t, Tab>::iterator tab, std::string line, std::vector<TabLine>* lines);

  std::map<uint64_t, Tab> tabs_;
  // Codes of requests already answered or given up, newest last: a second
  // answer to one (success comes both as an error 0 and as the new channel)
  // is still ours.
  std::deque<std::string> finishedCodes_;
};
