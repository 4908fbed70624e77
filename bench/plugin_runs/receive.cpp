// The receiver process of the listener CPU figures, driven by
// zovik_bench_listener through its standard input, one command a line:
//   open   receive on port 10500: a bare socket, or the plugin initialised
//          and connected to the stand-in's default server
//   close  stop receiving (the plugin: ts3plugin_shutdown); answers "closed"
// After "open" it says "primed" once the first datagram has been taken in
// (the plugin: the move it caused) and "done" when a datagram differs from
// that first one (the plugin: the second move). Its CPU time is read from
// outside between the two, while every receiving thread is alive.
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>

#include "bench/plugin_runs/runs.h"
#include "bench/support/bare_receiver.h"
#include "bench/support/plugin_rig.h"

namespace {

constexpr size_t kCapacity = 576;  // what the plugin's listener reads of a datagram

void Say(const char* word) {
  std::fputs(word, stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// A receive thread like the plugin's listener, with nothing behind the
// receive but the comparison that finds the end. Like the listener it lives
// until "close".
class BareSide {
 public:
  // Input that ends before "close" leaves a receive blocked; the process
  // exit ends it.
  ~BareSide() {
    if (thread_.joinable()) thread_.detach();
  }
  void Open() {
    receiver_ = std::make_unique<BareReceiver>(10500);
    closing_ = false;
    thread_ = std::thread(&BareSide::Receive, this);
  }
  void Close() {
    {
      std::lock_guard<std::mutex> guard(lock_);
      closing_ = true;
    }
    closed_.notify_all();
    // Joins once "done" was said; zovik_bench_listener ends a process that
    // hangs here.
    if (thread_.joinable()) thread_.join();
    receiver_.reset();
  }

 private:
  void Receive() {
    char first[kCapacity];
    char buffer[kCapacity];
    const long firstLength = receiver_->Receive(first, sizeof first);
    if (firstLength < 0) return;
    Say("primed");
    for (;;) {
      const long length = receiver_->Receive(buffer, sizeof buffer);
      if (length < 0) return;
      if (length != firstLength || std::memcmp(buffer, first, static_cast<size_t>(length)) != 0) {
        break;
      }
    }
    Say("done");
    std::unique_lock<std::mutex> guard(lock_);
    closed_.wait(guard, [this] { return closing_; });
  }

  std::unique_ptr<BareReceiver> receiver_;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable closed_;
  bool closing_ = false;
};

class PluginSide {
 public:
  void Open() {
    moves_ = 0;
    rig_.Start(0, [this](const MoveRequest&) { Say(++moves_ == 1 ? "primed" : "done"); });
  }
  void Close() { rig_.Shutdown(); }

 private:
  PluginRig rig_;
  std::atomic<int> moves_{0};
};

template <typename Side>
int Serve() {
  Side side;
  char line[64];
  while (std::fgets(line, sizeof line, stdin) != nullptr) {
    const std::string command(line, std::strcspn(line, "\r\n"));
    if (command == "open") {
      side.Open();
    } else if (command == "close") {
      side.Close();
      Say("closed");
    } else {
      throw std::invalid_argument("unknown command " + command);
    }
  }
  return 0;
}

}  // namespace

int RunReceiver(const std::string& kind) {
  if (kind == "bare") return Serve<BareSide>();
  if (kind == "plugin") return Serve<PluginSide>();
  throw std::invalid_argument("receive what? " + kind);
}
