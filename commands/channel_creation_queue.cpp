#include "commands/channel_creation_queue.h"

#include <algorithm>
#include <iterator>

namespace {

// Enough for every answer still on its way once its request was given up.
constexpr size_t kFinishedCodesKept = 64;

// Whether an error can be the refusal of a channel creation: a name in use,
// a channel property the server does not take, a permission. Without a
// return code, nothing else may be taken for one: the plugin's own moves
// are refused with errors of their own (already in, channel or channel tree
// full, bad password), and so are the client's.
bool IsCreationError(uint32_t error) {
  switch (error) {
    case 0x0303:  // the name is in use
    case 0x0307:  // invalid flags
    case 0x0308:  // the parent is not permanent
    case 0x030b:  // invalid order
      return true;
    default:
      return (error & 0xff00) == 0x0a00;  // the permissions
  }
}

}  // namespace

void ChannelCreationQueue::Add(uint64_t connection, uint64_t parent,
                               std::vector<ChannelCreation> creations) {
  if (creations.empty()) return;
  Tab& tab = tabs_[connection];
  for (ChannelCreation& creation : creations) {
    Entry entry;
    entry.creation = std::move(creation);
    entry.parent = parent;
    tab.push_back(std::move(entry));
  }
}

void ChannelCreationQueue::Pump(Clock::time_point now, const Send& send,
                                std::vector<TabLine>* lines) {
  for (auto tab = tabs_.begin(); tab != tabs_.end();) {
    const auto next = std::next(tab);
    while (!tab->second.empty()) {
      Entry& entry = tab->second.front();
      if (entry.sent) {
        if (now - entry.sentAt < kAnswerTimeout) break;
        Finish(tab,
               CreationUnansweredReply(entry.creation, static_cast<int>(kAnswerTimeout.count())),
               lines);
        continue;
      }
      std::string returnCode;
      const uint32_t error = send({tab->first, entry.parent, entry.creation}, &returnCode);
      if (error != 0) {
        Finish(tab, CreationNotSentReply(entry.creation, error), lines);
        continue;
      }
      entry.sent = true;
      entry.sentAt = now;
      entry.returnCode = std::move(returnCode);
      break;
    }
    if (tab->second.empty()) tabs_.erase(tab);
    tab = next;
  }
}

void ChannelCreationQueue::Expire(Clock::time_point now, std::vector<TabLine>* lines) {
  for (auto tab = tabs_.begin(); tab != tabs_.end(); ++tab) {
    if (tab->second.empty()) continue;
    const Entry& entry = tab->second.front();
    if (!entry.sent || now - entry.sentAt < kAnswerTimeout) continue;
    Finish(tab, CreationUnansweredReply(entry.creation, static_cast<int>(kAnswerTimeout.count())),
           lines);
  }
}

bool ChannelCreationQueue::OnServerAnswer(uint64_t connection, std::string_view returnCode,
                                          uint32_t error, std::string_view message,
                                          std::vector<TabLine>* lines) {
  const auto tab = TabWaiting(connection);
  if (tab != tabs_.end() && tab->second.front().returnCode == returnCode &&
      (!returnCode.empty() || IsCreationError(error))) {
    Finish(tab, CreationAnswerReply(tab->second.front().creation, error, message), lines);
    // Without a code the client shows the answer as it shows any other.
    return !returnCode.empty();
  }
  return !returnCode.empty() && std::find(finishedCodes_.begin(), finishedCodes_.end(),
                                          returnCode) != finishedCodes_.end();
}

void ChannelCreationQueue::DropTab(uint64_t connection, std::vector<TabLine>* lines) {
  const auto tab = tabs_.find(connection);
  if (tab == tabs_.end()) return;
  const size_t count = tab->second.size();
  if (count != 0) {
    lines->push_back({connection, CreationsDroppedReply(count)});
    // An answer to the one on its way may still come from the old server.
    std::string& code = tab->second.front().returnCode;
    if (tab->second.front().sent && !code.empty()) {
      if (finishedCodes_.size() == kFinishedCodesKept) finishedCodes_.pop_front();
      finishedCodes_.push_back(std::move(code));
    }
  }
  tabs_.erase(tab);
}

void ChannelCreationQueue::OnCreatedByUs(uint64_t connection, std::string_view name,
                                         std::vector<TabLine>* lines) {
  const auto tab = TabWaiting(connection);
  if (tab != tabs_.end() && tab->second.front().creation.channel.name == name) {
    Finish(tab, CreationAnswerReply(tab->second.front().creation, 0, {}), lines);
  }
}

std::map<uint64_t, ChannelCreationQueue::Tab>::iterator ChannelCreationQueue::TabWaiting(
    uint64_t connection) {
  const auto tab = tabs_.find(connection);
  if (tab == tabs_.end() || tab->second.empty() || !tab->second.front().sent) return tabs_.end();
  return tab;
}

void ChannelCreationQueue::Finish(std::map<uint64_t, Tab>::iterator tab, std::string line,
                                  std::vector<TabLine>* lines) {
  lines->push_back({tab->first, std::move(line)});
  std::string& code = tab->second.front().returnCode;
  if (!code.empty()) {
    if (finishedCodes_.size() == kFinishedCodesKept) finishedCodes_.pop_front();
    finishedCodes_.push_back(std::move(code));
  }
  tab->second.pop_front();
}
