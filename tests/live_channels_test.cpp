// The live store against a plain list of channels in the order they were
// added: whatever the creations, renames, deletions and folds, every name
// resolves to the first channel of that name, and a snapshot taken earlier
// still answers as the channels were then.
#include "channels/live_channels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

// The channels as a list, in the order they were added.
using Model = std::vector<CDB_item>;

const std::vector<std::string> kNames = {"Lobby", "Fr\xC3\xA9quences 251", "251.5", "127.525"};

std::shared_ptr<CDB_snapshot> SnapshotOf(const LiveChannels& live) {
  auto snapshot = std::make_shared<CDB_snapshot>();
  snapshot->table = live.table();
  snapshot->answers = live.answers();
  snapshot->answerCount = live.answersInNewestChunk();
  snapshot->channelCount = live.count();
  return snapshot;
}

uint64_t FirstIdOf(const Model& model, const std::string& name) {
  const auto found = std::find_if(model.begin(), model.end(),
                                  [&](const CDB_item& item) { return item.name == name; });
  return found == model.end() ? 0 : found->id;
}

void ExpectSameAnswers(const CDB_snapshot& snapshot, const Model& model) {
  EXPECT_EQ(snapshot.channelCount, static_cast<int>(model.size()));
  for (const std::string& name : kNames) {
    const CDB_item* found = snapshot.FindFirst(name);
    EXPECT_EQ(found == nullptr ? 0 : found->id, FirstIdOf(model, name)) << name;
    if (found != nullptr) {
      EXPECT_EQ(found->name, name);
    }
  }
}

TEST(LiveChannels, EveryNameResolvesAsInAPlainListThroughChangesAndFolds) {
  // Forty channels of four names, so most names are shared, and room for
  // answers in several chunks between folds.
  auto table = std::make_shared<CDB_table>();
  Model model;
  for (uint64_t id = 1; id <= 40; ++id) {
    table->records.push_back({kNames[id % kNames.size()], id});
    model.push_back(table->records.back());
  }
  table->Index();
  LiveChannels live(table);
  ExpectSameAnswers(*SnapshotOf(live), model);

  // Enough changes to fold the answers into a new table several times.
  std::mt19937 random(251000);
  std::shared_ptr<CDB_snapshot> early;
  Model earlyModel;
  for (int step = 0; step < 3000; ++step) {
    const uint64_t id = std::uniform_int_distribution<uint64_t>(1, 48)(random);
    const std::string& name = kNames[random() % kNames.size()];
    const auto here = std::find_if(model.begin(), model.end(),
                                   [&](const CDB_item& item) { return item.id == id; });
    const size_t answersBefore = live.answerCount();
    if (random() % 3 == 0) {
      EXPECT_EQ(live.Remove(id), here == model.end() ? LiveChange::kNone : LiveChange::kRemoved);
      if (here != model.end()) model.erase(here);
    } else if (here == model.end()) {
      EXPECT_EQ(live.Set(id, name), LiveChange::kAdded);
      model.push_back({name, id});
    } else {
      const LiveChange expected = here->name == name ? LiveChange::kNone : LiveChange::kRenamed;
      EXPECT_EQ(live.Set(id, name), expected);
      here->name = name;
      // Nothing to publish, nothing for readers to walk.
      if (expected == LiveChange::kNone) {
        EXPECT_EQ(live.answerCount(), answersBefore);
      }
    }
    SCOPED_TRACE(step);
    ExpectSameAnswers(*SnapshotOf(live), model);
    if (step == 1000) {
      early = SnapshotOf(live);
      earlyModel = model;
    }
    if (HasFailure()) return;
  }
  ExpectSameAnswers(*early, earlyModel);
}

}  // namespace
