// The pace of a discovery run's requests on the manual clock: slots 1/rate
// apart whoever asks, never more than the rate in any second, and a stop
// that ends every wait.
#include "agent/devices/request_bucket.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "tests/support/manual_clock.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using std::chrono::milliseconds;

TEST(RequestBucket, HandsOutOneSlotPerIntervalWhateverTheThreads) {
  test::ManualClock clock;
  ManualResetEvent stop;
  RequestBucket bucket(10, stop, &clock);  // a slot every 100 ms
  // The first slot is now; the second must wait.
  ASSERT_TRUE(bucket.Take());
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 4; ++i) {
    threads.emplace_back([&] {
      if (bucket.Take()) ++taken;
    });
  }
  ASSERT_TRUE(clock.WaitForWaiters(4));
  EXPECT_EQ(taken, 0);
  // Each 100 ms frees exactly one more of them.
  for (int step = 1; step <= 4; ++step) {
    clock.Advance(milliseconds(100));
    ASSERT_TRUE(test::WaitUntil([&] { return taken == step; })) << step;
    EXPECT_TRUE(clock.WaitForWaiters(4 - step));
    EXPECT_EQ(taken, step);
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(bucket.Taken(), 5u);
  EXPECT_EQ(bucket.PeakPerSecond(), 5u);
}

TEST(RequestBucket, NeverMoreThanTheRateInAnySecond) {
  test::ManualClock clock;
  ManualResetEvent stop;
  RequestBucket bucket(3, stop, &clock);  // slots a third of a second apart, rounded up
  std::atomic<int> taken{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 12; ++i) {
    threads.emplace_back([&] {
      if (bucket.Take()) ++taken;
    });
  }
  // The first slot is now; the other eleven wait for theirs.
  ASSERT_TRUE(clock.WaitForWaiters(11));
  clock.Advance(std::chrono::seconds(4));
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(taken, 12);
  EXPECT_EQ(bucket.Taken(), 12u);
  EXPECT_EQ(bucket.PeakPerSecond(), 3u);
}

TEST(RequestBucket, AStopEndsEveryWaitAndHandsOutNoMore) {
  test::ManualClock clock;
  ManualResetEvent stop;
  RequestBucket bucket(1, stop, &clock);
  ASSERT_TRUE(bucket.Take());
  std::atomic<int> refused{0};
  std::vector<std::thread> threads;
  for (int i = 0; i < 3; ++i) {
    threads.emplace_back([&] {
      if (!bucket.Take()) ++refused;
    });
  }
  ASSERT_TRUE(clock.WaitForWaiters(3));
  stop.Set();
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(refused, 3);
  EXPECT_FALSE(bucket.Take());
}

}  // namespace
}  // namespace orla
