// The worker pool and concurrent edits of the users file.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/zepa/users/user_store.h"
#include "platform/zepa/client/worker_pool.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

using namespace orla;

TEST(WorkerPool, RunsEveryTaskWithBoundedThreads) {
  WorkerPool::Settings settings;
  settings.maxThreads = 4;
  settings.stackBytes = 256 * 1024;
  WorkerPool pool(settings);
  std::atomic<int> done{0};
  std::atomic<int> running{0};
  std::atomic<int> peak{0};
  for (int i = 0; i < 200; ++i) {
    ASSERT_TRUE(pool.Enqueue([&] {
      const int now = ++running;
      int seen = peak.load();
      while (now > seen && !peak.compare_exchange_weak(seen, now)) {
      }
      std::this_thread::sleep_for(std::chrono::microseconds(200));
      --running;
      ++done;
    }));
  }
  EXPECT_LE(pool.ThreadCount(), 4u);
  pool.Shutdown();  // runs what is queued, then joins
  EXPECT_EQ(done.load(), 200);
  EXPECT_LE(peak.load(), 4);
  EXPECT_GE(peak.load(), 2);
  EXPECT_FALSE(pool.Enqueue([] {}));
  EXPECT_EQ(pool.ThreadCount(), 0u);
}

TEST(WorkerPool, BlockedTasksDoNotStopOthersUpToTheLimit) {
  WorkerPool::Settings settings;
  settings.maxThreads = 3;
  WorkerPool pool(settings);
  std::mutex m;
  std::condition_variable cv;
  bool release = false;
  std::atomic<int> finished{0};
  for (int i = 0; i < 2; ++i) {
    pool.Enqueue([&] {
      std::unique_lock<std::mutex> lock(m);
      cv.wait(lock, [&] { return release; });
      ++finished;
    });
  }
  // Two threads wait; a third takes the next task.
  std::atomic<bool> third{false};
  pool.Enqueue([&] { third = true; });
  test::WaitUntil([&] { return third.load(); });
  EXPECT_TRUE(third.load());
  {
    std::lock_guard<std::mutex> lock(m);
    release = true;
  }
  cv.notify_all();
  pool.Shutdown();
  EXPECT_EQ(finished.load(), 2);
}

TEST(WorkerPool, IdleThreadsEnd) {
  WorkerPool::Settings settings;
  settings.maxThreads = 2;
  settings.idleSeconds = 1;
  WorkerPool pool(settings);
  pool.Enqueue([] {});
  test::WaitUntil([&] { return pool.ThreadCount() == 0; });
  EXPECT_EQ(pool.ThreadCount(), 0u);
  std::atomic<bool> ran{false};
  pool.Enqueue([&] { ran = true; });  // a new thread is made
  pool.Shutdown();
  EXPECT_TRUE(ran.load());
}

// A timed shutdown that gives up leaves the stuck task's thread running,
// detached: it ends on its own once the task returns, and nothing joins it.
TEST(WorkerPool, ATimedShutdownLeavesAStuckTaskRunningDetached) {
  WorkerPool::Settings settings;
  settings.stackBytes = 256 * 1024;
  auto* pool = new WorkerPool(settings);
  std::mutex mutex;
  std::condition_variable changed;
  bool started = false, released = false, ended = false;
  ASSERT_TRUE(pool->Enqueue([&] {
    std::unique_lock<std::mutex> lock(mutex);
    started = true;
    changed.notify_all();
    changed.wait(lock, [&] { return released; });
    ended = true;
    changed.notify_all();
  }));
  {
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return started; }));
  }
  EXPECT_FALSE(pool->ShutdownWithin(std::chrono::milliseconds(50)));
  EXPECT_EQ(pool->ThreadCount(), 1u);
  EXPECT_FALSE(pool->Enqueue([] {}));
  {
    std::unique_lock<std::mutex> lock(mutex);
    released = true;
    changed.notify_all();
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return ended; }));
  }
  test::WaitUntil([&] { return pool->ThreadCount() == 0; });
  EXPECT_EQ(pool->ThreadCount(), 0u);
  delete pool;  // the thread has ended: its record goes with the pool
}

TEST(UserStoreConcurrency, EditsFromManyThreadsAreNeverLost) {
  test::TempDir dir;
  std::vector<std::thread> threads;
  for (int t = 0; t < 6; ++t) {
    threads.emplace_back([&, t] {
      UserStore store(dir.File("users"));  // each as a separate process would
      for (int i = 0; i < 5; ++i) {
        std::string error;
        store.Edit([&](std::vector<UserStore::User>& users, std::string*) {
          users.push_back({"u" + std::to_string(t) + "_" + std::to_string(i), "$y$x", {}});
          return true;
        }, &error);
      }
    });
  }
  for (auto& t : threads) t.join();
  UserStore reader(dir.File("users"));
  EXPECT_EQ(reader.All().size(), 30u);
}
