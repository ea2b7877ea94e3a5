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
  RequestBucket bucket(3, stop, &clock);
  std::atomic<int> taken{0};
  std::thread taker([&] {
    for (int i = 0; i < 12; ++i) {
      if (bucket.Take()) ++taken;
    }
  });
  // Move time on until every slot is had, waiting on the taker each time.
  while (taken < 12) {
    if (clock.WaitForWaiters(1)) clock.Advance(milliseconds(50));
  }
  taker.join();
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
