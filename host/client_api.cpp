#include "host/client_api.h"

#include <atomic>
#include <iterator>

namespace {

// From `from` on (up to the next row) a client accepts `api`. Where a client
// accepts two versions we answer its newer one, the API of the SDK it was
// released with: a client always loads its own, while the oldest version a
// client still takes moved from release to release.
struct ApiFrom {
  ProgramVersion from;
  int api;
};
constexpr ApiFrom kApiByClient[] = {
    {{0, 0, 0, 0}, 20},   // 3.0.14 to 3.0.19.x; older clients load nothing of ours
    {{3, 0, 20, 0}, 21},  // 3.0.20 and 3.1.0 take 21 only
    {{3, 1, 1, 0}, 22},   // 3.1.1 to 3.2.x take 21 or 22
    {{3, 3, 0, 0}, 23},   // 3.3.x take 23 only
    {{3, 4, 0, 0}, 24},   // 3.4.x and 3.5.x take 23 or 24; no client ever took 25
    {{3, 6, 0, 0}, 26},   // 3.6.0 and later take 26 only
};

#ifndef ZOVIK_FIXED_PLUGIN_API
// 0 until the client first asks.
std::atomic<int> answeredApi{0};
#endif

}  // namespace

int ApiVersionForClient(const ProgramVersion* version) {
  // Every client that loads plugins is a 3.x; a version resource below that
  // (0.0.0.0 from a program that fills in none) tells nothing.
  if (version == nullptr || version->major < 3) return std::prev(std::end(kApiByClient))->api;
  int api = kApiByClient[0].api;
  for (const ApiFrom& row : kApiByClient) {
    if (*version >= row.from) api = row.api;
  }
  return api;
}

int PluginApiVersion() {
#ifdef ZOVIK_FIXED_PLUGIN_API  // reads no version: the fixed build has nothing more to do
  return ZOVIK_FIXED_PLUGIN_API;
#else
  // Worked out at the first question and kept: the client must be given the
  // same answer each time. An atomic rather than a function's static: the
  // runtime's guard for those makes a lock that outlives every unload.
  static_assert(std::atomic<int>::is_always_lock_free);
  int answer = answeredApi.load(std::memory_order_relaxed);
  if (answer != 0) return answer;
  ProgramVersion version;
  try {
    answer = ApiVersionForClient(PlatformHostProgramVersion(&version) ? &version : nullptr);
  } catch (...) {
    answer = ApiVersionForClient(nullptr);  // no memory to read the version with
  }
  answeredApi.store(answer, std::memory_order_relaxed);
  return answer;
#endif
}
