// Which of the client's server connections (tabs) the channel store follows:
// the one that last became established, and when that one is lost, another
// that is still established. Host's thread only.
#pragma once

#include <cstdint>

// Reads connection `serverConnectionHandlerID`'s channels into the store,
// logging the same lines whatever made us build.
void BuildStoreFrom(uint64_t serverConnectionHandlerID);

// At start: builds from a connection that is already established, if any.
void FollowEstablishedConnection();

// Connection `serverConnectionHandlerID` was lost. When the store came from
// it, the store is emptied, whatever the client answers afterwards, then
// built from another established connection if there is one.
void OnConnectionLost(uint64_t serverConnectionHandlerID);
