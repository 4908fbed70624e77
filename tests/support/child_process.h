// This very test program started again as a child process with other
// arguments, for a second process that holds a resource (a UDP port) the
// plugin under test wants.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

class ChildProcess {
 public:
  ChildProcess() = default;
  // A child still running at the end is killed, so no test outlives itself.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts the running program with `arguments` (none holding a quote).
  // False with *error set on failure.
  bool Start(const std::vector<std::string>& arguments, std::string* error);

  // Waits up to `timeout` for the child to end. Returns its exit code, or -1
  // when it is still running or was never started.
  int Wait(std::chrono::milliseconds timeout);

  // Ends the child at once and returns when it is gone, with whatever it
  // held released. Does nothing when no child runs.
  void Kill();

 private:
  intptr_t process_ = 0;  // pid (Linux) or process HANDLE (Windows); 0: none
};
