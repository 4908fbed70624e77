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

const CDB_item* CDB_snapshot::FindFirst(std::string_view name) const {
  // The newest answer about a name is what it resolves to now.
  for (size_t i = answerCount; i-- > 0;) {
    const CDB_answer& answer = answers->entries[i];
    if (answer.record.name == name) return answer.found ? &answer.record : nullptr;
  }
  if (table == nullptr) return nullptr;
  const auto found = table->firstByName.find(name);
  return found == table->firstByName.end() ? nullptr : &table->records[found->second];
}
