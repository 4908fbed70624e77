// The measurements zovik_bench makes of the real plugin library, natively or
// under Wine. Each prints its table rows on standard output.
#pragma once

#include <string>

#include "bench/support/options.h"

// The receiving process of the listener CPU figures (driven by
// zovik_bench_listener): `kind` is "bare" or "plugin".
int RunReceiver(const std::string& kind);

// One-way latency of a radio change, next to the bare loopback's.
int RunRadioChange(const Options& options);

// Time for ts3plugin_shutdown to return.
int RunShutdown(const Options& options);
