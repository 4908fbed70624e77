// What the fuzz targets share: a check that stops the run, and the
// process-wide log opened at level 5 in a private plugin directory.
#pragma once

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// A violated property ends the run at once, so libFuzzer keeps the input.
#define FUZZ_CHECK(condition)                                                      \
  do {                                                                             \
    if (!(condition)) {                                                            \
      std::fprintf(stderr, "FUZZ_CHECK failed: %s (%s:%d)\n", #condition, __FILE__, \
                   __LINE__);                                                      \
      __builtin_trap();                                                            \
    }                                                                              \
  } while (0)

// Opens g_logFile at level 5 in a fresh plugin directory (with its
// zovik_plugin folder) that is removed at exit. Call once.
void OpenLogAtLevel5();

// Empties the log file, so each input's lines are read alone.
void EmptyLog();
std::string ReadLog();

// True when `log` holds, at `*offset`, one whole record of `level` with
// exactly `message` (each '\n' written as the platform's newline); moves
// `*offset` past it.
bool TakeRecord(const std::string& log, size_t* offset, int level, std::string_view message);
