#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "agent/core/lock.h"

using namespace orla;

TEST(Lock, ReentryThenFullReleaseFreesItForOthers) {
  Lock lock;
  lock.Enter();
  lock.Enter();
  lock.Leave();
  std::atomic<bool> got{false};
  std::thread other([&] { got = lock.TryEnter(); if (got) lock.Leave(); });
  other.join();
  EXPECT_FALSE(got.load()) << "still held once";
  lock.Leave();
  std::thread again([&] { got = lock.TryEnter(); if (got) lock.Leave(); });
  again.join();
  EXPECT_TRUE(got.load());
}

TEST(Lock, GuardsSharedCounterAcrossThreads) {
  Lock lock;
  int counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) {
        std::lock_guard<Lock> g(lock);
        std::lock_guard<Lock> nested(lock);
        ++counter;
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_EQ(counter, 4000);
}
