// The API the library answers each client version lies in what that client
// accepts, as the stand-in plays it from the clients' known refusals.
#include <gtest/gtest.h>

#include "host/client_api.h"
#include "testing/host_standin/client_profile.h"

namespace {

TEST(ClientApi, EveryReleasedClientAcceptsTheAnswer) {
  for (const ProgramVersion& version : std::initializer_list<ProgramVersion>{
           {3, 0, 16, 0}, {3, 0, 19, 4}, {3, 0, 20, 0}, {3, 1, 0, 0}, {3, 1, 1, 0}, {3, 1, 6, 0},
           {3, 2, 5, 0},  {3, 3, 0, 0},  {3, 3, 2, 0},  {3, 4, 0, 0}, {3, 5, 6, 0}, {3, 6, 0, 0},
           {3, 6, 2, 0},  {3, 7, 1, 0},  {4, 0, 0, 0}}) {
    const ClientProfile client = ClientProfileFor(&version);
    const int api = ApiVersionForClient(&version);
    EXPECT_TRUE(client.Accepts(api)) << client.version << ": " << client.Refusal(api);
  }
}

TEST(ClientApi, UnknownClientGetsTheCurrentApi) {
  EXPECT_EQ(ApiVersionForClient(nullptr), 26);
  // A version resource that reads, but left at zero by its program.
  const ProgramVersion zero{};
  EXPECT_EQ(ApiVersionForClient(&zero), 26);
  // Where two are accepted, the client's own current one.
  const ProgramVersion client356{3, 5, 6, 0};
  EXPECT_EQ(ApiVersionForClient(&client356), 24);
}

}  // namespace
