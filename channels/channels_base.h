// The server's channel names and identifiers, read from the client when a
// connection is established, and the one action the plugin exists for:
// asking the client to move the user into a channel.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// One channel as the client reported it.
struct CDB_item {
  std::string name;  // UTF-8 exactly as the client gave it, kept whole
  uint64_t id = 0;
};

// The records of one build. Never changed once published, so the listener
// can read it without a lock for as long as it holds a reference.
struct CDB_snapshot {
  CDB_snapshot() = default;
  // firstByName points into this snapshot's own records: a copy or a move
  // would carry views into the original.
  CDB_snapshot(const CDB_snapshot&) = delete;
  CDB_snapshot& operator=(const CDB_snapshot&) = delete;
  CDB_snapshot(CDB_snapshot&&) = delete;
  CDB_snapshot& operator=(CDB_snapshot&&) = delete;

  uint64_t serverConnectionHandlerID = 0;
  uint64_t generation = 0;        // which publication this is
  std::vector<CDB_item> records;  // in the client's list order
  bool ready = false;             // every channel name was read
  // Name -> index of the first record of that name; filled once all records
  // are in, because it points into their strings.
  std::unordered_map<std::string_view, size_t> firstByName;

  // The first record of `name` (byte for byte), or null.
  const CDB_item* FindFirst(std::string_view name) const;
};

class CChannelsBase {
 public:
  // Host's thread. Reads connection `serverConnectionHandlerID`'s channels
  // into a new store and publishes it. Returns -1 when the list cannot be
  // read or is empty (the previous store stays), else channelCount(). An
  // exception (out of memory) leaves the previous store in place; the
  // client's list and names are released whichever way the build ends.
  int BuildDataBase(uint64_t serverConnectionHandlerID);

  // Host's thread, during a build: adds a copy of `item` to the store being
  // built and returns that store's record count. Outside a build it does
  // nothing (a published store never changes) and returns channelCount().
  int AddCDB_item(const CDB_item& item);

  // Listener thread. Asks the client to move the own client into `record` on
  // `serverConnectionHandlerID`. Returns 1 when the client accepted, else 0.
  int SwitchChannel(uint64_t serverConnectionHandlerID, const CDB_item& record);

  // Any thread: the latest published store, or null before the first build.
  std::shared_ptr<const CDB_snapshot> Current() const;

  // 1 when the latest store may be used for switching.
  int ready() const;
  // Records in the latest published store.
  int channelCount() const { return channelCount_.load(std::memory_order_relaxed); }
  // Changes with every published store; cheap enough for every datagram.
  uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

  // Drops every store (library unload, tests).
  void Clear();

 private:
  void Publish(std::unique_ptr<CDB_snapshot> snapshot);

  mutable std::mutex currentLock_;  // guards current_ (the pointer, not the store)
  std::shared_ptr<const CDB_snapshot> current_;
  CDB_snapshot* building_ = nullptr;  // host's thread only; set during a build
  std::atomic<int> channelCount_{0};
  std::atomic<uint64_t> generation_{0};
};

// The process-wide store, from library load to unload.
extern CChannelsBase g_channelsBase;
