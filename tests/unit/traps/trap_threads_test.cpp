// The trap handling's helper threads and timers: the worker thread that
// sends the agent's own traps in order, the spacing status refresher, and
// the once-a-minute report of dropped traps (with a clock the test moves).
// The refresher's spacing is timed on a clock the test moves too.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "agent/traps/status_refresher.h"
#include "platform/sync/worker_thread.h"
#include "tests/support/manual_clock.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

TEST(WorkerThreadTest, RunsJobsInOrderAndFinishesQueuedOnesWhenDestroyed) {
  std::vector<int> done;
  std::mutex mutex;
  {
    WorkerThread worker;
    for (int i = 0; i < 100; ++i) {
      worker.Post([&, i] {
        std::lock_guard<std::mutex> hold(mutex);
        done.push_back(i);
      });
    }
  }
  ASSERT_EQ(done.size(), 100u);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(done[i], i);
}

// A refresh that the test lets go one at a time.
struct GatedRefresh {
  std::mutex mutex;
  std::condition_variable changed;
  int started = 0;
  int allowed = 0;
  void operator()() {
    std::unique_lock<std::mutex> hold(mutex);
    ++started;
    changed.notify_all();
    changed.wait(hold, [this] { return allowed >= started; });
  }
  void Allow(int count) {
    std::lock_guard<std::mutex> hold(mutex);
    allowed = count;
    changed.notify_all();
  }
  bool WaitStarted(int count) {
    std::unique_lock<std::mutex> hold(mutex);
    return changed.wait_for(hold, 10s, [&] { return started >= count; });
  }
};

TEST(StatusRefresherTest, WithoutSpacingRequestsDuringARefreshLeadToAtMostOneMore) {
  GatedRefresh gate;
  StatusRefresher refresher([&] { gate(); }, [](const std::string&) {}, 0ms);
  refresher.Request("127.0.3.1");
  ASSERT_TRUE(gate.WaitStarted(1));
  for (int i = 0; i < 500; ++i) refresher.Request("127.0.3.1");  // a burst while the first runs
  gate.Allow(2);
  refresher.WaitIdle();
  EXPECT_EQ(refresher.Completed(), 2u);
  // Quiet again: one request, one refresh.
  gate.Allow(3);
  refresher.Request("127.0.3.1");
  refresher.WaitIdle();
  EXPECT_EQ(refresher.Completed(), 3u);
  EXPECT_EQ(refresher.SingleRefreshes(), 0u);
}

TEST(StatusRefresherTest, PassesAreSpacedByTheIntervalAndTheTrappingElementGoesFirstOncePerInterval) {
  test::ManualClock clock;
  std::atomic<int> passes{0};
  std::mutex mutex;
  std::vector<std::string> singles;
  StatusRefresher refresher([&] { ++passes; },
                            [&](const std::string& address) {
                              std::lock_guard<std::mutex> hold(mutex);
                              singles.push_back(address);
                            },
                            10s, &clock);
  struct Step {
    std::chrono::seconds advance;
    std::vector<std::string> requests;  // each address asked `times` times
    int times;
    int passes;
    std::vector<std::string> singles;  // all so far
  };
  const Step steps[] = {
      {0s, {"a"}, 1, 1, {}},                    // quiet: a pass at once
      {1s, {"a", "b"}, 100, 1, {"a", "b"}},     // within the interval: each element alone, once
      {1s, {"a", "b"}, 100, 1, {"a", "b"}},     // not again within its interval
      {8s, {}, 0, 2, {"a", "b"}},               // the waiting pass, an interval after the last
      {1s, {"a"}, 100, 2, {"a", "b", "a"}},     // a's own interval has passed
      {30s, {}, 0, 3, {"a", "b", "a"}},         // the waiting pass, late but once
      {11s, {"b"}, 1, 4, {"a", "b", "a"}},      // quiet for an interval: a pass at once
  };
  for (const Step& step : steps) {
    clock.Advance(step.advance);
    for (const std::string& address : step.requests) {
      for (int i = 0; i < step.times; ++i) refresher.Request(address);
    }
    refresher.WaitSettled();
    // The refresher's thread is inside its wait on the clock before the next
    // step moves the clock (a move just before the wait began would be lost).
    ASSERT_TRUE(clock.WaitForWaiters(1));
    EXPECT_EQ(passes.load(), step.passes) << step.advance.count();
    std::lock_guard<std::mutex> hold(mutex);
    EXPECT_EQ(singles, step.singles) << step.advance.count();
  }
}

}  // namespace
}  // namespace orla
