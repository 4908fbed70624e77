// The steady-radio path allocates nothing: once a frequency has switched the
// user, its repeats and every datagram outside the accepted range end before
// any heap allocation at log levels 0 to 2. Every global operator new of this
// program is counted.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <string>
#include <vector>

#include "channels/channels_base.h"
#include "host/client_api.h"
#include "host/host_functions.h"
#include "tests/support/log_fixture.h"
#include "testing/host_standin/simulated_host.h"
#include "udpserver/udp_server.h"

namespace {

std::atomic<long> g_allocations{0};

void* Counted(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}

void* CountedAligned(std::size_t size, std::align_val_t alignment) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  const std::size_t align = static_cast<std::size_t>(alignment);
  const std::size_t rounded = (size + align - 1) / align * align;
#if defined(_WIN32)  // the C runtime there has no aligned_alloc
  return _aligned_malloc(rounded == 0 ? align : rounded, align);
#else
  return std::aligned_alloc(align, rounded == 0 ? align : rounded);
#endif
}

void ReleaseAligned(void* pointer) {
#if defined(_WIN32)
  _aligned_free(pointer);
#else
  std::free(pointer);
#endif
}

}  // namespace

void* operator new(std::size_t size) {
  if (void* memory = Counted(size)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return operator new(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Counted(size); }
void* operator new(std::size_t size, std::align_val_t alignment) {
  if (void* memory = CountedAligned(size, alignment)) return memory;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size, std::align_val_t alignment) {
  return operator new(size, alignment);
}
#if defined(__GNUC__) && !defined(__clang__)
// GCC takes the free() below for a mismatch with the operator new it
// inlined; the replaced operators allocate with malloc.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif
void operator delete(void* pointer) noexcept { std::free(pointer); }
void operator delete[](void* pointer) noexcept { std::free(pointer); }
void operator delete(void* pointer, std::size_t) noexcept { std::free(pointer); }
void operator delete[](void* pointer, std::size_t) noexcept { std::free(pointer); }
void operator delete(void* pointer, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete[](void* pointer, std::align_val_t) noexcept { ReleaseAligned(pointer); }
void operator delete(void* pointer, std::size_t, std::align_val_t) noexcept {
  ReleaseAligned(pointer);
}
void operator delete[](void* pointer, std::size_t, std::align_val_t) noexcept {
  ReleaseAligned(pointer);
}

namespace {

// Allocations made by `datagrams` handed to the listener one after another.
long AllocationsFor(const std::vector<std::string>& datagrams) {
  const long before = g_allocations.load();
  for (const std::string& datagram : datagrams) {
    g_udpServer.HandleDatagram(datagram.c_str(), datagram.size());
  }
  return g_allocations.load() - before;
}

class DropPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host_.Reset();
    g_ts3Functions = host_.FunctionTable();
    host_.Establish(1, DefaultChannels());
    g_channelsBase.Clear();
    ASSERT_EQ(g_channelsBase.BuildDataBase(1), static_cast<int>(DefaultChannels().size()));
    g_udpServer.ResetLastSwitch();
  }
  void TearDown() override { g_channelsBase.Clear(); }

  // Switches to `datagram`'s channel, so that its repeats are dropped.
  void SwitchTo(const std::string& datagram, uint64_t channel) {
    const size_t before = host_.Moves().size();
    g_udpServer.HandleDatagram(datagram.c_str(), datagram.size());
    ASSERT_EQ(host_.Moves().size(), before + 1);
    ASSERT_EQ(host_.CurrentChannel(1), channel);
  }

  SimulatedHost& host_ = SimulatedHost::Instance();
};

class DropPathAtLevel : public DropPathTest, public ::testing::WithParamInterface<int> {};

TEST_P(DropPathAtLevel, RepeatsAndRejectedDatagramsAllocateNothing) {
  LogInTempDirectory log(GetParam());
  SwitchTo("251000", 10);
  const size_t moves = host_.Moves().size();

  const std::vector<std::string> repeats(1000, "251000");
  EXPECT_EQ(AllocationsFor(repeats), 0);

  // Out of the band, not a number, and the same frequency spelled otherwise.
  std::vector<std::string> others = {
      "", "abc", "30000", "400000", "-251000", "2147483647999",
      std::string(576, '9'), std::string("\0" "251000", 7), "\x01\x02\x03",
      "251000\r\n", "  251000", "251000x"};
  // The package library takes "0" as the pilot leaving his aircraft, after
  // which the same frequency counts again; the fixed build rejects it.
  if (kFixedPluginApiVersion != 0) others.insert(others.begin() + 5, "0");
  EXPECT_EQ(AllocationsFor(others), 0);

  // Each of them really was dropped: no move, and the user stays put.
  EXPECT_EQ(host_.Moves().size(), moves);
  EXPECT_EQ(host_.CurrentChannel(1), 10u);
}

INSTANTIATE_TEST_SUITE_P(LogLevels, DropPathAtLevel, ::testing::Values(0, 1, 2));

TEST_F(DropPathTest, LevelThreeAllocatesForANewFrequency) {
  // The counter sees the allocations of the log line a new frequency writes.
  LogInTempDirectory log(3);
  SwitchTo("251000", 10);
  EXPECT_GT(AllocationsFor({"251500"}), 0);
  EXPECT_EQ(host_.CurrentChannel(1), 11u);
}

}  // namespace
