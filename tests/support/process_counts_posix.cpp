#include <filesystem>

#include "tests/support/process_counts.h"

namespace {

int CountEntries(const char* directory) {
  int count = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(directory, error), end; !error && it != end;
       it.increment(error)) {
    ++count;
  }
  return error ? -1 : count;
}

}  // namespace

int CountOwnThreads() { return CountEntries("/proc/self/task"); }

// The listing's own descriptor is among the entries, the same one each time.
int CountOwnHandles() { return CountEntries("/proc/self/fd"); }
