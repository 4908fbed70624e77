#include "channels/live_channels.h"

#include <algorithm>
#include <utility>

namespace {

// Up to four answers per channel (at least kMostAnswersAtLeast), then they
// are folded into a new table: a change pays for a third of a record of
// that table or less, and a reader walks at most that many answers.
constexpr size_t kMostAnswersAtLeast = 64;
constexpr size_t kMostAnswersPerChannel = 4;
constexpr uint32_t kNowhere = UINT32_MAX;

}  // namespace

LiveChannels::LiveChannels(std::shared_ptr<const CDB_table> table) : table_(std::move(table)) {
  const size_t size = table_ == nullptr ? 0 : table_->records.size();
  nextPosition_ = static_cast<uint32_t>(size);
  count_ = static_cast<int>(size);
  mostAnswers_ = std::max(kMostAnswersAtLeast, kMostAnswersPerChannel * size);
}

LiveChange LiveChannels::Set(uint64_t id, std::string_view name) {
  uint32_t position = kNowhere;
  std::string_view current;
  if (Locate(id, &position, &current) && current == name) return LiveChange::kNone;
  // Located again: a fold renumbers the channels.
  MakeRoomForAnswers(2);
  const bool present = Locate(id, &position, &current);
  // Copied: Record may overwrite the text it points into.
  const std::string previous(current);
  Record(id, present ? position : nextPosition_++, name, true);
  if (present) {
    Answer(previous);
  } else {
    ++count_;
  }
  Answer(name);
  return present ? LiveChange::kRenamed : LiveChange::kAdded;
}

LiveChange LiveChannels::Remove(uint64_t id) {
  MakeRoomForAnswers(1);
  uint32_t position = kNowhere;
  std::string_view current;
  if (!Locate(id, &position, &current)) return LiveChange::kNone;
  const std::string previous(current);
  Record(id, position, {}, false);
  --count_;
  Answer(previous);
  return LiveChange::kRemoved;
}

bool LiveChannels::Locate(uint64_t id, uint32_t* position, std::string_view* name) const {
  if (const auto changed = changed_.find(id); changed != changed_.end()) {
    if (!changed->second.present) return false;
    *position = changed->second.position;
    *name = changed->second.name;
    return true;
  }
  if (table_ == nullptr) return false;
  const auto built = table_->indexById.find(id);
  if (built == table_->indexById.end()) return false;
  *position = built->second;
  *name = table_->records[built->second].name;
  return true;
}

void LiveChannels::Record(uint64_t id, uint32_t position, std::string_view name, bool present) {
  Changed& entry = changed_[id];
  if (entry.present) {
    auto& ids = changedByName_.find(entry.name)->second;
    ids.erase(std::find(ids.begin(), ids.end(), id));
    if (ids.empty()) changedByName_.erase(entry.name);
  }
  entry.position = position;
  entry.name.assign(name);
  entry.present = present;
  if (present) changedByName_[entry.name].push_back(id);
}

void LiveChannels::Answer(std::string_view name) {
  uint32_t best = kNowhere;
  uint64_t bestId = 0;
  if (table_ != nullptr) {
    // The first built channel of the name that no change has touched.
    const auto first = table_->firstByName.find(name);
    for (uint32_t i = first == table_->firstByName.end() ? CDB_table::kNoRecord : first->second;
         i != CDB_table::kNoRecord; i = table_->nextOfName[i]) {
      if (changed_.count(table_->records[i].id) != 0) continue;
      best = i;
      bestId = table_->records[i].id;
      break;
    }
  }
  if (const auto named = changedByName_.find(name); named != changedByName_.end()) {
    for (uint64_t id : named->second) {
      const uint32_t position = changed_.find(id)->second.position;
      if (position < best) {
        best = position;
        bestId = id;
      }
    }
  }
  if (answers_ == nullptr || answersInNewest_ == CDB_answers::kCapacity) {
    answers_ = std::make_shared<CDB_answers>(std::move(answers_));
    answersInNewest_ = 0;
  }
  CDB_answer& answer = answers_->entries[answersInNewest_];
  answer.record.name.assign(name);
  answer.record.id = bestId;
  answer.found = best != kNowhere;
  ++answersInNewest_;
  ++answerCount_;
}

void LiveChannels::MakeRoomForAnswers(size_t count) {
  if (answerCount_ + count > mostAnswers_) Fold();
}

void LiveChannels::Fold() {
  // The channels as they are now, in their order: the built ones untouched,
  // and the changed ones that are still there.
  std::vector<std::pair<uint32_t, uint64_t>> changed;  // position, id
  for (const auto& [id, entry] : changed_) {
    if (entry.present) changed.emplace_back(entry.position, id);
  }
  std::sort(changed.begin(), changed.end());
  auto table = std::make_shared<CDB_table>();
  table->records.reserve(static_cast<size_t>(count_));
  auto next = changed.begin();
  const auto addChangedBefore = [&](uint32_t position) {
    for (; next != changed.end() && next->first < position; ++next) {
      table->records.push_back({changed_.find(next->second)->second.name, next->second});
    }
  };
  const size_t built = table_ == nullptr ? 0 : table_->records.size();
  for (uint32_t i = 0; i < built; ++i) {
    addChangedBefore(i);
    if (changed_.count(table_->records[i].id) == 0) table->records.push_back(table_->records[i]);
  }
  addChangedBefore(kNowhere);
  table->Index();
  *this = LiveChannels(std::move(table));
}
