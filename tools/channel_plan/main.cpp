// zovik_channels: the channel names the plugin looks for, for server admins.
//
//   zovik_channels FREQUENCY...                the name of each frequency
//   zovik_channels --serverquery FREQUENCY...  ServerQuery commands creating them
//   zovik_channels --plan FROM TO STEP         every name a band needs
//   zovik_channels --help | -h | --version
//
// Frequencies in MHz ("251", "127.525") or kHz ("243500"); STEP in kHz.
// Output is UTF-8: one channel name a line, then a tab and the frequencies it
// serves; or one ServerQuery command per channel name.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/channel_frequencies.h"
#include "commands/frequency_argument.h"
#include "plugin_identity.h"
#include "tools/channel_plan/channel_plan.h"
#include "tools/channel_plan/serverquery.h"
#include "udpserver/frequency_rule.h"

namespace {

// Asked for, the usage goes to standard output and is no error.
int Usage(FILE* to = stderr) {
  std::fprintf(to,
               "usage: zovik_channels FREQUENCY...\n"
               "       zovik_channels --serverquery FREQUENCY...\n"
               "       zovik_channels --plan FROM TO STEP_KHZ   (e.g. --plan 225.000 399.975 25)\n"
               "       zovik_channels --help | --version\n"
               "  FREQUENCY in MHz (251, 127.525) or kHz (243500)\n");
  return to == stdout ? 0 : 2;
}

void PrintEntry(const ChannelFrequencies& entry) {
  std::string line = entry.name + "\t";
  if (entry.frequencies.size() > 1) {
    line += "shared by ";
    line += std::to_string(entry.frequencies.size());
    line += " frequencies: ";
  }
  for (size_t i = 0; i < entry.frequencies.size(); ++i) {
    line += i == 0 ? "" : " ";
    line += MegahertzText(entry.frequencies[i]);
  }
  std::printf("%s\n", line.c_str());
}

// An accepted frequency, or false after saying why on stderr.
bool ReadFrequency(const char* argument, int32_t* frequency) {
  if (FrequencyArgumentToKilohertz(argument, frequency) && IsAcceptedFrequency(*frequency)) {
    return true;
  }
  std::fprintf(stderr, "zovik_channels: %s is not a frequency from 30.001 to 399.999 MHz\n",
               argument);
  return false;
}

int PrintPlan(int argc, char** argv) {
  int32_t from = 0, to = 0;
  if (argc != 5 || !FrequencyArgumentToKilohertz(argv[2], &from) ||
      !FrequencyArgumentToKilohertz(argv[3], &to)) {
    return Usage();
  }
  const long step = std::strtol(argv[4], nullptr, 10);
  if (step <= 0 || step > kHighestFrequency) return Usage();
  for (const ChannelFrequencies& entry : BuildChannelPlan(from, to, static_cast<int32_t>(step))) {
    PrintEntry(entry);
  }
  return 0;
}

// Each name once, however many of the frequencies share it.
int PrintServerQueryCommands(int argc, char** argv) {
  if (argc < 3) return Usage();
  int status = 0;
  ChannelFrequencyList channels;
  for (int i = 2; i < argc; ++i) {
    int32_t frequency = 0;
    if (ReadFrequency(argv[i], &frequency)) {
      channels.Add(frequency);
    } else {
      status = 1;
    }
  }
  for (const ChannelFrequencies& entry : channels.entries()) {
    std::printf("%s\n", ChannelCreateCommand(entry.name).c_str());
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string first = argv[1];
  if (first == "--help" || first == "-h") return Usage(stdout);
  if (first == "--version") {
    std::printf("zovik_channels %s (%s %s)\n", ZOVIK_FILE_VERSION_TEXT, ZOVIK_NAME,
                ZOVIK_REPORTED_VERSION);
    return 0;
  }
  if (first == "--plan") return PrintPlan(argc, argv);
  if (first == "--serverquery") return PrintServerQueryCommands(argc, argv);
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    int32_t frequency = 0;
    if (!ReadFrequency(argv[i], &frequency)) {
      status = 1;
      continue;
    }
    PrintEntry({std::string(FrequencyToChannelName(frequency).view()), {frequency}});
  }
  return status;
}
