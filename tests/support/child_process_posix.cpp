#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstring>
#include <thread>

#include "tests/support/child_process.h"

extern char** environ;

ChildProcess::~ChildProcess() { Kill(); }

void ChildProcess::Kill() {
  if (process_ == 0) return;
  kill(static_cast<pid_t>(process_), SIGKILL);
  waitpid(static_cast<pid_t>(process_), nullptr, 0);
  process_ = 0;
}

bool ChildProcess::Start(const std::vector<std::string>& arguments, std::string* error) {
  static char kSelf[] = "/proc/self/exe";
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv{kSelf};
  for (std::string& argument : copies) argv.push_back(argument.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int result = posix_spawn(&pid, kSelf, nullptr, nullptr, argv.data(), environ);
  if (result != 0) {
    *error = std::string("posix_spawn: ") + std::strerror(result);
    return false;
  }
  process_ = pid;
  return true;
}

int ChildProcess::Wait(std::chrono::milliseconds timeout) {
  if (process_ == 0) return -1;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(static_cast<pid_t>(process_), &status, WNOHANG);
    if (done == static_cast<pid_t>(process_) || (done < 0 && errno != EINTR)) {
      process_ = 0;
      return done > 0 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    if (std::chrono::steady_clock::now() > deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}
