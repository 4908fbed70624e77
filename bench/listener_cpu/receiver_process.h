// A receiver process of zovik_bench (native, or under Wine through the
// command given), its standard input and output on pipes: commands go in a
// line each, its reports come out a line each, and it ends when its input
// closes.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

class ReceiverProcess {
 public:
  // Starts `command`; throws std::runtime_error when it cannot.
  explicit ReceiverProcess(const std::vector<std::string>& command);
  // Ends the process if it is still running.
  ~ReceiverProcess();
  ReceiverProcess(const ReceiverProcess&) = delete;
  ReceiverProcess& operator=(const ReceiverProcess&) = delete;

  pid_t pid() const { return pid_; }
  // Writes `command` and a line end to its input; throws when it cannot.
  void Tell(const std::string& command);
  // The next line the process printed, without its line end; empty after
  // `timeout` with no whole line. Throws when the process has ended.
  std::string ReadLine(std::chrono::milliseconds timeout);
  // Closes its input and waits for its exit; false when it had to be killed.
  bool Finish(std::chrono::milliseconds timeout);

 private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
  std::string pending_;
};
