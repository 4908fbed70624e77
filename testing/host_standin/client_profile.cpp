#include "testing/host_standin/client_profile.h"


#include "host/client_api.h"
#include "platform/platform.h"

namespace {

// Accepted plugin API ranges and function table lengths of the released
// clients, as users met them in the clients' refusals ("Api version is not
// compatible: 20 (minimum: 21, current: 22)" on 3.1.x) and as the table grew
// (209 slots at API 20 and 21, 210 at 22 and 23, 226 at 24, 230 at 26).
struct Release {
  ProgramVersion from;
  int minimumApi, currentApi;
  size_t tableSlots;
};
constexpr Release kReleases[] = {
    {{3, 0, 14, 0}, 20, 20, 209},
    {{3, 0, 20, 0}, 21, 21, 209},
    {{3, 1, 1, 0}, 21, 22, 210},
    {{3, 3, 0, 0}, 23, 23, 210},
    {{3, 4, 0, 0}, 23, 24, 226},
    {{3, 6, 0, 0}, 26, 26, 230},
};

}  // namespace

std::string ClientProfile::Refusal(int api) const {
  return "Api version is not compatible: " + std::to_string(api) +
         " (minimum: " + std::to_string(minimumApi) + ", current: " + std::to_string(currentApi) +
         ")";
}

ClientProfile ClientProfileFor(const ProgramVersion* version) {
  if (version == nullptr) {
    const Release& release = kFixedPluginApiVersion == 20 ? kReleases[0] : kReleases[5];
    return {"none", release.minimumApi, release.currentApi, release.tableSlots};
  }
  // Older than any client with plugins: loads nothing.
  ClientProfile profile{"", 0, -1, 209};
  for (const Release& release : kReleases) {
    if (*version >= release.from) {
      profile = {"", release.minimumApi, release.currentApi, release.tableSlots};
    }
  }
  profile.version = std::to_string(version->major) + "." + std::to_string(version->minor) + "." +
                    std::to_string(version->patch) + "." + std::to_string(version->build);
  return profile;
}

const ClientProfile& StandInClient() {
  static const ClientProfile profile = [] {
    ProgramVersion version;
    return ClientProfileFor(PlatformHostProgramVersion(&version) ? &version : nullptr);
  }();
  return profile;
}
