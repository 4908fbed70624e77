// The benchmark table: every measuring program prints its rows as Markdown on
// standard output, and scripts/bench.sh gathers them under one header.
#pragma once

#include <string>

#include "bench/support/summary.h"

struct TableRow {
  std::string figure;
  std::string build;     // which library and how it ran
  std::string measured;  // median (min–max) over the repetitions
  std::string baseline;  // the same-run baseline, or "—"
  std::string result;    // the ratio or difference the target is about
  std::string target;
  std::string verdict;  // Verdict(), or "reported" for a figure without a target
};

void PrintRow(const TableRow& row);

// "3.10 µs (3.02–3.31)": `spread` in `unit` with `decimals` decimals.
std::string WithSpread(const Spread& spread, int decimals, const std::string& unit);
std::string Fixed(double value, int decimals);

// "met", or "**missed**" so that a miss stands out in the table.
std::string Verdict(bool met);

// The build this program belongs to, as the table names it.
std::string ThisBuild();
