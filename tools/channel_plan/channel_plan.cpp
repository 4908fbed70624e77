#include "tools/channel_plan/channel_plan.h"

#include <cstdio>
#include <unordered_map>

#include "udpserver/frequency_rule.h"

std::vector<ChannelPlanEntry> BuildChannelPlan(int32_t from, int32_t to, int32_t step) {
  std::vector<ChannelPlanEntry> plan;
  if (step <= 0 || from > to) return plan;
  std::unordered_map<std::string, size_t> entryOfName;
  for (int64_t frequency = from; frequency <= to; frequency += step) {
    const auto kilohertz = static_cast<int32_t>(frequency);
    if (!IsAcceptedFrequency(kilohertz)) continue;
    const std::string name(FrequencyToChannelName(kilohertz).view());
    const auto [found, added] = entryOfName.emplace(name, plan.size());
    if (added) plan.push_back({name, {}});
    plan[found->second].frequencies.push_back(kilohertz);
  }
  return plan;
}

std::string MegahertzText(int32_t kilohertz) {
  char text[32];
  std::snprintf(text, sizeof text, "%d.%03d", kilohertz / 1000, kilohertz % 1000);
  return text;
}
