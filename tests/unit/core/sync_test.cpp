#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/sync/manual_reset_event.h"
#include "platform/sync/pause_gate.h"
#include "tests/support/wait_until.h"

using namespace orla;
using namespace std::chrono_literals;

TEST(ManualResetEvent, StaysSetUntilResetAndReleasesAllWaiters) {
  ManualResetEvent event;
  EXPECT_FALSE(event.WaitFor(1ms));
  std::atomic<int> released{0};
  std::thread a([&] { event.Wait(); ++released; });
  std::thread b([&] { event.Wait(); ++released; });
  event.Set();
  a.join();
  b.join();
  EXPECT_EQ(released.load(), 2);
  EXPECT_TRUE(event.IsSet());
  EXPECT_TRUE(event.TestAndReset());
  EXPECT_FALSE(event.TestAndReset());
  EXPECT_FALSE(event.IsSet());
}

TEST(ManualResetEvent, InitiallySet) {
  ManualResetEvent event(true);
  EXPECT_TRUE(event.WaitFor(0ms));
}

TEST(PauseGate, HoldsThePassingThreadWhileClosed) {
  PauseGate gate;
  gate.Close();
  std::atomic<bool> passed{false};
  std::thread t([&] { gate.Pass(); passed = true; });
  EXPECT_TRUE(test::WaitUntil([&] { return gate.Held() == 1; }));
  EXPECT_FALSE(passed.load());
  gate.Open();
  t.join();
  EXPECT_TRUE(passed.load());
  gate.Pass();  // open: returns at once
}
