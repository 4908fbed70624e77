// The server's channel names and identifiers, read from the client when a
// connection is established and kept up to date by its channel events, and
// the one action the plugin exists for: asking the client to move the user
// into a channel.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string_view>

#include "channels/channel_snapshot.h"
#include "channels/live_channels.h"
#include "host/ts3_plugin_api.h"

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

  // Host's thread, from the client's channel events. On the connection the
  // store follows, channel `channelID` was created, came into view or had a
  // property changed: its name is read from the client, and a store that
  // shows it as it is now is published before this returns. On any other
  // connection, nothing is done (a connection being established sends one
  // event per channel before the build reads them all).
  void RefreshChannel(uint64_t serverConnectionHandlerID, uint64_t channelID);
  // The same for a channel that was deleted.
  void RemoveChannel(uint64_t serverConnectionHandlerID, uint64_t channelID);

  // Listener thread (or the pilot's controls, under the listener's switch
  // lock). Asks the client to move the own client into `record` on
  // `serverConnectionHandlerID`. Returns 1 when the client accepted, else 0.
  // When given, *ownClient is the own client's ID once the client gave it,
  // and *channelBefore the channel he was in just before (0: unknown).
  int SwitchChannel(uint64_t serverConnectionHandlerID, const CDB_item& record,
                    anyID* ownClient = nullptr, uint64_t* channelBefore = nullptr);

  // Any thread: the latest published store, or null before the first build.
  std::shared_ptr<const CDB_snapshot> Current() const;

  // 1 when the latest store may be used for switching.
  int ready() const;
  // Channels in the latest published store.
  int channelCount() const { return channelCount_.load(std::memory_order_relaxed); }
  // Changes with every published store; cheap enough for every datagram.
  uint64_t generation() const { return generation_.load(std::memory_order_acquire); }

  // Drops every store (connection lost, library unload, tests).
  void Clear();

 private:
  // Publishes `live` as the store of `serverConnectionHandlerID`; throws
  // (out of memory) only before anything is published.
  void Publish(const LiveChannels& live, uint64_t serverConnectionHandlerID, bool ready,
               uint64_t build);
  // Runs `change` on live_ and publishes and logs what it did to channel
  // `channelID` (now named `name`).
  template <typename Change>
  void PublishLiveChange(Change change, uint64_t channelID, std::string_view name);

  mutable std::mutex currentLock_;  // guards current_ (the pointer, not the store)
  std::shared_ptr<const CDB_snapshot> current_;
  std::atomic<int> channelCount_{0};
  std::atomic<uint64_t> generation_{0};

  // Host's thread only.
  CDB_table* building_ = nullptr;  // set during a build
  LiveChannels live_;              // the published store's channels
  uint64_t followed_ = 0;          // its connection, 0 for none
  uint64_t builds_ = 0;
  // A live change ran out of memory halfway: live_ may no longer be what
  // was published, so the next change reads the whole list again.
  bool rebuildNeeded_ = false;
};

// The process-wide store, from library load to unload.
extern CChannelsBase g_channelsBase;
