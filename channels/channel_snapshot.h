// What the listener reads of the server's channels: an immutable snapshot,
// shared by pointer. A build reads the client's whole list into a table; a
// live change (a channel created, renamed or deleted) adds answers on top of
// it instead of copying it, so its cost does not grow with the server.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

// One channel as the client reported it.
struct CDB_item {
  std::string name;  // UTF-8 exactly as the client gave it, kept whole
  uint64_t id = 0;
};

// The records of one build (or of a compaction of live changes), in the
// order they were added, with their indexes. Never changed once indexed.
struct CDB_table {
  static constexpr uint32_t kNoRecord = UINT32_MAX;

  CDB_table() = default;
  // The indexes point into the records' own strings: a copy or a move would
  // carry views into the original.
  CDB_table(const CDB_table&) = delete;
  CDB_table& operator=(const CDB_table&) = delete;

  // Fills the indexes once every record is in.
  void Index();

  std::vector<CDB_item> records;
  // Name -> the first record of that name; each record -> the next one of
  // its name (kNoRecord at the last).
  std::unordered_map<std::string_view, uint32_t> firstByName;
  std::vector<uint32_t> nextOfName;
  std::unordered_map<uint64_t, uint32_t> indexById;
};

// What a name resolves to after a live change: `found`, the first channel
// of that name (`record`, whose name is the name), or none.
struct CDB_answer {
  CDB_item record;
  bool found = false;
};

// The answers of the live changes since a table, in the order they came,
// in chunks that are never moved: a chunk, then the full ones before it.
// The host's thread writes answer N before it publishes a snapshot that
// counts it, and never writes an answer a published snapshot counts; so a
// reader reads the answers of its snapshot without a lock.
struct CDB_answers {
  static constexpr size_t kCapacity = 64;

  CDB_answers() = default;
  explicit CDB_answers(std::shared_ptr<const CDB_answers> olderChunk)
      : older(std::move(olderChunk)) {}
  // Lets go of the older chunks one by one: a long chain must not recurse.
  ~CDB_answers();
  CDB_answers(const CDB_answers&) = delete;
  CDB_answers& operator=(const CDB_answers&) = delete;

  CDB_answer entries[kCapacity];
  mutable std::shared_ptr<const CDB_answers> older;  // full; null for the first
};

struct CDB_snapshot {
  uint64_t serverConnectionHandlerID = 0;
  uint64_t generation = 0;  // which publication this is
  uint64_t build = 0;       // which build; live changes keep it
  bool ready = false;       // every channel name of the build was read
  int channelCount = 0;     // channels now, live changes included
  std::shared_ptr<const CDB_table> table;
  // The newest chunk of answers (null before the first live change) and how
  // many of its answers this snapshot counts.
  std::shared_ptr<const CDB_answers> answers;
  size_t answerCount = 0;

  // The first channel named `name` (byte for byte) in the order they were
  // added, live changes included; null when there is none. Valid while the
  // snapshot is held. Allocates nothing.
  const CDB_item* FindFirst(std::string_view name) const;
  // The records as the build read them (live changes since not included).
  const std::vector<CDB_item>& records() const { return table->records; }
};
