// The followed connection's channels as the client's live events change
// them: the table of the last build, every channel changed since, and the
// answers that let readers see the changes without a copy of the table.
// Host's thread only; CChannelsBase publishes what it holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "channels/channel_snapshot.h"

// What a change did, for the log; kNone: nothing to publish.
enum class LiveChange { kNone, kAdded, kRenamed, kRemoved };

class LiveChannels {
 public:
  // Starts from a build's table; null: no channels. Allocates nothing.
  explicit LiveChannels(std::shared_ptr<const CDB_table> table = nullptr);

  // Channel `id` is now named `name`: renamed where it stands, or added
  // after every other channel when it is new; kNone when it already had
  // that name.
  LiveChange Set(uint64_t id, std::string_view name);
  // Channel `id` is gone; kNone when it was not there.
  LiveChange Remove(uint64_t id);

  // What a snapshot of the channels as they are now holds.
  const std::shared_ptr<const CDB_table>& table() const { return table_; }
  std::shared_ptr<const CDB_answers> answers() const { return answers_; }
  size_t answersInNewestChunk() const { return answersInNewest_; }
  int count() const { return count_; }
  // Answers since the table.
  size_t answerCount() const { return answerCount_; }

 private:
  struct Changed {
    uint32_t position = 0;  // order among all channels: the table's index, then later
    std::string name;
    bool present = false;
  };
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };

  // Channel `id` as it stands now; false when there is none.
  bool Locate(uint64_t id, uint32_t* position, std::string_view* name) const;
  // Records that `id` is now named `name` (or gone, when `present` is false).
  void Record(uint64_t id, uint32_t position, std::string_view name, bool present);
  // Appends what `name` resolves to now.
  void Answer(std::string_view name);
  // Folds the changes into a new table first when `count` more answers
  // would be more than allowed.
  void MakeRoomForAnswers(size_t count);
  // Starts over from a table of the channels as they are now. Rare enough
  // that its cost, which grows with the server, comes to a fraction of a
  // record per change.
  void Fold();

  std::shared_ptr<const CDB_table> table_;
  std::unordered_map<uint64_t, Changed> changed_;
  // The present channels of changed_, by name.
  std::unordered_map<std::string, std::vector<uint64_t>, NameHash, std::equal_to<>> changedByName_;
  uint32_t nextPosition_ = 0;
  std::shared_ptr<CDB_answers> answers_;  // the newest chunk; null before the first change
  size_t answersInNewest_ = 0;
  size_t answerCount_ = 0;
  size_t mostAnswers_ = 0;
  int count_ = 0;
};
