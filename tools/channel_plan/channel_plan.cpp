#include "tools/channel_plan/channel_plan.h"

std::vector<ChannelFrequencies> BuildChannelPlan(int32_t from, int32_t to, int32_t step) {
  ChannelFrequencyList plan;
  if (step <= 0 || from > to) return plan.Take();
  for (int64_t frequency = from; frequency <= to; frequency += step) {
    plan.Add(static_cast<int32_t>(frequency));
  }
  return plan.Take();
}
