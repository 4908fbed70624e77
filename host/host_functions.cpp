#include "host/host_functions.h"

TS3Functions g_ts3Functions = {};
