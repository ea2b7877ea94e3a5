// Status passes that ask every element at once: a silent element holds only
// itself up, changes are reported once each in list order after the pass,
// a second caller waits for the running pass, and an element's own polling
// thread and a pass never call its plug-in at the same time.
// Run under ThreadSanitizer as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/devices/element_registry.h"
#include "platform/sync/parallel_runner.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla::test {
namespace {

using std::chrono::milliseconds;

class StatusPassTest : public DevicesFixture {
 protected:
  void Silence(const std::string& address, bool silent) {
    std::lock_guard<std::mutex> hold(Control().mutex);
    if (silent) {
      Control().silent.insert(address);
    } else {
      Control().silent.erase(address);
    }
    Control().changed.notify_all();
  }
};

TEST_F(StatusPassTest, ASilentElementHoldsUpOnlyItselfAndChangesAreReportedInListOrder) {
  auto registry = Loaded();
  // tc03 does not answer; the others answer with statuses of their own.
  const std::vector<std::pair<std::string, int>> elements = {
      {"10.9.1.1", 2}, {"10.9.1.2", 0}, {"10.9.1.3", 1}, {"10.9.1.4", 1}, {"10.9.1.5", 0}};
  for (size_t i = 0; i < elements.size(); ++i) {
    const int status = elements[i].second;
    SetDevice(elements[i].first, [status](FakeDevice& d) { d.status = status; });
    registry->AddElement("tc0" + std::to_string(i + 1), elements[i].first, 3600);
  }
  Silence("10.9.1.3", true);

  auto pass = std::async(std::launch::async, [&] { registry->UpdateAllStatus(); });
  // Every healthy element is asked while the silent one still waits.
  ASSERT_TRUE(WaitFor([](FakePluginControl& c) {
    return c.updatesByAddress["10.9.1.1"] == 1 && c.updatesByAddress["10.9.1.2"] == 1 &&
           c.updatesByAddress["10.9.1.4"] == 1 && c.updatesByAddress["10.9.1.5"] == 1 &&
           c.insideByAddress["10.9.1.3"] == 1;
  }));
  // Nothing is reported before the pass has ended.
  EXPECT_TRUE(listener_.Changes().empty());
  auto second = std::async(std::launch::async, [&] { registry->UpdateAllStatus(); });
  EXPECT_EQ(second.wait_for(milliseconds(200)), std::future_status::timeout);  // waits for the pass
  // So does a list with refresh (the list page): it takes the pass's results.
  auto listed = std::async(std::launch::async, [&] { return registry->ListElements(true); });
  EXPECT_EQ(listed.wait_for(milliseconds(200)), std::future_status::timeout);

  Silence("10.9.1.3", false);
  pass.get();
  second.get();
  EXPECT_EQ(listed.get().substr(0, 7), "2|tc01|");
  EXPECT_EQ(UpdateCalls(), 5);  // neither later caller polled again
  EXPECT_EQ(registry->ListElements(false),
            "2|tc01|10.9.1.1|Fake tape controller|http://10.9.1.1/|http://10.9.1.1/|"
            "0|tc02|10.9.1.2|Fake tape controller|http://10.9.1.2/|http://10.9.1.2/|"
            "1|tc03|10.9.1.3|Fake tape controller|http://10.9.1.3/|http://10.9.1.3/|"
            "1|tc04|10.9.1.4|Fake tape controller|http://10.9.1.4/|http://10.9.1.4/|"
            "0|tc05|10.9.1.5|Fake tape controller|http://10.9.1.5/|http://10.9.1.5/");
  const std::vector<std::pair<std::string, int>> reported = {
      {"tc01", 2}, {"tc02", 0}, {"tc03", 1}, {"tc04", 1}, {"tc05", 0}};
  EXPECT_EQ(listener_.Changes(), reported);
}

TEST_F(StatusPassTest, AnElementsOwnPollAndPassesNeverCallItsPlugInAtOnce) {
  auto registry = Loaded(&clock_);
  for (int i = 1; i <= 4; ++i) registry->AddElement("tc0" + std::to_string(i), "10.9.2." + std::to_string(i), 1);
  ASSERT_TRUE(clock_.WaitForWaiters(4));
  // Passes one after another from two threads while each polling thread
  // polls twice (its interval is one second).
  // The polls start once both callers have run a pass, and the callers
  // stop only after passes ran after the polls too: on a loaded machine the
  // steps alone may be over before a caller thread has started.
  std::atomic<bool> stop{false};
  std::atomic<int> passes{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 2; ++t) {
    callers.emplace_back([&] {
      while (!stop.load()) {
        registry->UpdateAllStatus();
        ++passes;
      }
    });
  }
  while (passes.load() < 2) std::this_thread::yield();
  for (int poll = 0; poll < 2; ++poll) EXPECT_TRUE(clock_.Step(std::chrono::seconds(1), 4));
  const int after = passes.load() + 2;
  while (passes.load() < after) std::this_thread::yield();
  stop.store(true);
  for (auto& caller : callers) caller.join();
  EXPECT_GT(UpdateCalls(), 8);
  std::lock_guard<std::mutex> hold(Control().mutex);
  for (int i = 1; i <= 4; ++i) EXPECT_EQ(Control().mostInsideByAddress["10.9.2." + std::to_string(i)], 1);
}

TEST_F(StatusPassTest, TheInitialLoadBindsItsElementsAtOnceAndKeepsTheFilesOrder) {
  dir_.Write("KORAgent.db", "tc03|10.9.3.3\ntc01|10.9.3.1\ntc02|10.9.3.2\ntc01|10.9.3.4\n");
  {
    // Each binding waits until all three are inside: one after another
    // they would each wait five seconds in vain.
    std::lock_guard<std::mutex> hold(Control().mutex);
    Control().bindBarrier = 3;
  }
  auto registry = Loaded();
  {
    std::lock_guard<std::mutex> hold(Control().mutex);
    EXPECT_EQ(Control().bindsMet, 4);  // the duplicate name too, dropped afterwards
  }
  EXPECT_EQ(registry->ElementCount(), 3);
  const std::string list = registry->ListElements(false);
  EXPECT_EQ(list.find("|tc03|"), 1u) << list;
  EXPECT_LT(list.find("|tc03|"), list.find("|tc01|10.9.3.1|"));
  EXPECT_LT(list.find("|tc01|10.9.3.1|"), list.find("|tc02|"));
  EXPECT_EQ(list.find("10.9.3.4"), std::string::npos);
}

TEST(ParallelRunnerTest, RunsEveryJobOnceWithAtMostTheWidthAtOnce) {
  struct Case {
    size_t count;
    size_t width;
  };
  for (const Case c : {Case{0, 4}, Case{1, 4}, Case{10, 1}, Case{50, 4}, Case{7, 32}, Case{5, 0}}) {
    std::vector<std::atomic<int>> runs(c.count);
    std::atomic<int> inside{0};
    std::atomic<int> most{0};
    ParallelRunner::Run(c.count, [&](size_t i) {
      const int now = ++inside;
      for (int seen = most.load(); now > seen && !most.compare_exchange_weak(seen, now);) {
      }
      std::this_thread::sleep_for(milliseconds(2));
      ++runs[i];
      --inside;
    }, c.width);
    for (size_t i = 0; i < c.count; ++i) EXPECT_EQ(runs[i].load(), 1) << c.count << " " << i;
    EXPECT_LE(most.load(), static_cast<int>(c.width == 0 ? 1 : c.width)) << c.count;
  }
}

}  // namespace
}  // namespace orla::test
