#include "bench/support/table.h"

#include <cstdio>

void PrintRow(const TableRow& row) {
  std::printf("| %s | %s | %s | %s | %s | %s | %s |\n", row.figure.c_str(), row.build.c_str(),
              row.measured.c_str(), row.baseline.c_str(), row.result.c_str(),
              row.target.c_str(), row.verdict.c_str());
  std::fflush(stdout);
}

std::string Fixed(double value, int decimals) {
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

std::string WithSpread(const Spread& spread, int decimals, const std::string& unit) {
  // A ratio's sign sits against its number.
  const std::string separator = unit == "\xC3\x97" ? "" : " ";
  return Fixed(spread.median, decimals) + separator + unit + " (" + Fixed(spread.min, decimals) +
         "\xE2\x80\x93" + Fixed(spread.max, decimals) + ")";
}

std::string Verdict(bool met) { return met ? "met" : "**missed**"; }

std::string ThisBuild() {
#if defined(_WIN32)  // the one build that runs under Wine
  return "zovik_win64.dll, Wine";
#else
  return "zovik_linux_amd64.so, native";
#endif
}
