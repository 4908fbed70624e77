#include "tools/sender/udp_sender.h"

std::string FrequencyDatagram(int32_t kilohertz) { return std::to_string(kilohertz); }
