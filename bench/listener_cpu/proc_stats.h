// What Linux tells about another process and the network namespace, read
// from /proc: the receiving side's CPU time is taken from outside, so the
// measured process runs nothing but its receive.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

// CPU time used so far by every live thread of `pid`, in nanoseconds
// (/proc/PID/task/*/schedstat); throws std::runtime_error when unreadable.
int64_t ProcessCpuNanoseconds(pid_t pid);

// The process's command name (/proc/PID/comm).
std::string ProcessName(pid_t pid);

// UDP datagrams this network namespace failed to deliver to a socket
// (InErrors of /proc/net/snmp, buffer overflows included).
int64_t UdpReceiveErrors();
