// Repeated measurements reduced to what the table quotes: the median with
// its spread, and percentiles of one run's samples.
#pragma once

#include <vector>

struct Spread {
  double median = 0;
  double min = 0;
  double max = 0;
};

// Median, lowest and highest of `values` (all zero when empty).
Spread SpreadOf(std::vector<double> values);

// Nearest-rank percentile: the smallest sample that at least `fraction`
// (0 < fraction <= 1) of the samples do not exceed.
double Percentile(std::vector<double> values, double fraction);
