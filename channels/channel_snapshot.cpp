#include "channels/channel_snapshot.h"

void CDB_table::Index() {
  firstByName.reserve(records.size());
  indexById.reserve(records.size());
  nextOfName.assign(records.size(), kNoRecord);
  // For the first record of each name: the last one of that name so far.
  std::vector<uint32_t> lastOfName(records.size());
  for (uint32_t i = 0; i < records.size(); ++i) {
    const auto [first, isFirst] = firstByName.try_emplace(records[i].name, i);
    uint32_t& last = lastOfName[first->second];
    if (!isFirst) nextOfName[last] = i;
    last = i;
    indexById.emplace(records[i].id, i);  // the client's identifiers are unique
  }
}

CDB_answers::~CDB_answers() {
  std::shared_ptr<const CDB_answers> next = std::move(older);
  // Where this is the last holder of the next chunk, that chunk's own older
  // one is taken before it goes, so its destructor has nothing to follow.
  while (next != nullptr && next.use_count() == 1) next = std::move(next->older);
}

const CDB_item* CDB_snapshot::FindFirst(std::string_view name) const {
  // The newest answer about a name is what it resolves to now.
  size_t count = answerCount;
  for (const CDB_answers* chunk = answers.get(); chunk != nullptr; chunk = chunk->older.get()) {
    for (size_t i = count; i-- > 0;) {
      const CDB_answer& answer = chunk->entries[i];
      if (answer.record.name == name) return answer.found ? &answer.record : nullptr;
    }
    count = CDB_answers::kCapacity;
  }
  if (table == nullptr) return nullptr;
  const auto found = table->firstByName.find(name);
  return found == table->firstByName.end() ? nullptr : &table->records[found->second];
}
