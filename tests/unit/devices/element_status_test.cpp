// Status updates across threads: the element's update gate, the update-all
// gate, polling threads, removal while a poll runs, the trap-receiver stamp.
// Run under ThreadSanitizer as well.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <ctime>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/event_log.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_state.h"
#include "agent/devices/status_change_text.h"
#include "agent/devices/element_registry.h"
#include "tests/support/snapshot_reads.h"
#include "tests/support/scoped_env.h"
#include "tests/unit/devices/devices_fixture.h"
#include "tests/support/manual_clock.h"
#include "tests/support/wait_until.h"

namespace orla::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

class ElementStatusTest : public DevicesFixture {
 protected:
  void Hold(bool hold) {
    std::lock_guard<std::mutex> guard(Control().mutex);
    Control().holdUpdates = hold;
    Control().changed.notify_all();
  }
  bool WaitInside(int count) {
    return WaitFor([count](FakePluginControl& c) { return c.updatesInside >= count; });
  }
};

TEST_F(ElementStatusTest, AStatusChangeIsReportedOnceWithTheElementsName) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 3600);
  registry->UpdateAllStatus();  // -1 -> 0
  registry->UpdateAllStatus();  // 0 -> 0
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.status = 2; });
  registry->UpdateAllStatus();  // 0 -> 2
  registry->UpdateAllStatus();
  const auto changes = listener_.Changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[0], std::make_pair(std::string("tc01"), 0));
  EXPECT_EQ(changes[1], std::make_pair(std::string("tc01"), 2));
  EXPECT_EQ(log_.Count("CRITICAL: tc01 (10.9.0.1): OK \u2192 Failed"), 1);
  EXPECT_EQ(log_.Count(" \u2192 "), 2);
}

// A status change in words, at the severity its new status calls for: to
// failed CRITICAL, to degraded or unknown WARNING, a recovery INFO; an
// element not polled yet has a word of its own.
TEST(StatusChangeTextTest, WordsAndSeverity) {
  struct Case {
    int32_t previous, current;
    const char* reason;
    const char* text;
    int severity;
  };
  const Case cases[] = {
      {0, 2, "", "tc01 (127.0.1.11): OK \u2192 Failed", EventLog::kCritical},
      {0, 1, "", "tc01 (127.0.1.11): OK \u2192 Degraded", EventLog::kWarning},
      {2, 0, "", "tc01 (127.0.1.11): Failed \u2192 OK", EventLog::kInfo},
      {1, 3, "", "tc01 (127.0.1.11): Degraded \u2192 Unknown", EventLog::kWarning},
      {2, 3, "", "tc01 (127.0.1.11): Failed \u2192 Unknown", EventLog::kWarning},
      {ElementState::kNotRead, 0, "", "tc01 (127.0.1.11): Not polled yet \u2192 OK", EventLog::kInfo},
      {ElementState::kNotRead, 3, "Unit 1 unknown", "tc01 (127.0.1.11): Not polled yet \u2192 Unknown: Unit 1 unknown",
       EventLog::kWarning},
      {ElementState::kNotRead, 7, "", "tc01 (127.0.1.11): Not polled yet \u2192 Unknown", EventLog::kWarning},
      {0, 2, "Drive 3 needs cleaning", "tc01 (127.0.1.11): OK \u2192 Failed: Drive 3 needs cleaning",
       EventLog::kCritical},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(StatusChangeText::Text("tc01", "127.0.1.11", c.previous, c.current, c.reason), c.text);
    EXPECT_EQ(StatusChangeText::Severity(c.current), c.severity) << c.text;
  }
}

// The activity the console shows: the status-since time moves only when the
// status changes; a plug-in that asks its device nothing never counts as an
// answer.
TEST_F(ElementStatusTest, ActivityTellsWhenTheStatusChangedWithoutAskingDevices) {
  auto registry = Loaded(&clock_);
  registry->AddElement("tc01", "10.9.0.1", 3600);
  registry->UpdateAllStatus();  // -1 -> 0
  const std::vector<ElementView> first = registry->Snapshot()->Read();
  ASSERT_EQ(first.size(), 1u);
  EXPECT_EQ(first[0].record.name, "tc01");
  EXPECT_EQ(first[0].record.address, "10.9.0.1");
  EXPECT_EQ(first[0].status.status, 0);
  EXPECT_GT(first[0].status.statusSinceMs, 0);
  EXPECT_EQ(first[0].status.lastAnsweredMs, 0);
  clock_.Advance(milliseconds(5));
  registry->UpdateAllStatus();  // 0 -> 0
  EXPECT_EQ(registry->Snapshot()->Read()[0].status.statusSinceMs, first[0].status.statusSinceMs);
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.status = 2; });
  registry->UpdateAllStatus();  // 0 -> 2
  EXPECT_EQ(registry->Snapshot()->Read()[0].status.status, 2);
  EXPECT_GT(registry->Snapshot()->Read()[0].status.statusSinceMs, first[0].status.statusSinceMs);
}

TEST_F(ElementStatusTest, PollingThreadPollsOncePerInterval) {
  auto registry = Loaded(&clock_);
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.status = 1; });
  registry->AddElement("tc01", "10.9.0.1", 1);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  EXPECT_EQ(UpdatesOf("10.9.0.1"), 0);  // the first poll comes one interval after binding
  ASSERT_TRUE(clock_.Step(seconds(1), 1));
  ASSERT_TRUE(clock_.Step(seconds(1), 1));
  ASSERT_TRUE(WaitFor([](FakePluginControl& c) { return c.updatesByAddress["10.9.0.1"] >= 2; }));
  EXPECT_EQ(registry->OverallStatus(), '1');
  ASSERT_FALSE(listener_.Changes().empty());
  EXPECT_EQ(listener_.Changes()[0], std::make_pair(std::string("tc01"), 1));
}

TEST_F(ElementStatusTest, RefreshDuringThePollersUpdateAnswersThatUpdatesResult) {
  auto registry = Loaded(&clock_);
  registry->AddElement("tc01", "10.9.0.1", 1);
  Hold(true);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  clock_.Advance(seconds(1));
  ASSERT_TRUE(WaitInside(1));  // the polling thread is inside UpdateStatus
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.status = 2; });

  auto pass = std::async(std::launch::async, [&] { return registry->ListElements(true); });
  EXPECT_EQ(pass.wait_for(milliseconds(300)), std::future_status::timeout);  // waits on the gate
  Hold(false);
  const std::string list = pass.get();
  EXPECT_EQ(list.substr(0, 7), "2|tc01|");
  EXPECT_EQ(UpdatesOf("10.9.0.1"), 1);  // the plug-in was called once for both
}

TEST_F(ElementStatusTest, UpdateAllDuringAnotherPassWaitsForItWithoutPollingAgain) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 3600);
  registry->AddElement("tc02", "10.9.0.2", 3600);
  Hold(true);
  auto first = std::async(std::launch::async, [&] { registry->UpdateAllStatus(); });
  ASSERT_TRUE(WaitInside(1));
  auto second = std::async(std::launch::async, [&] { registry->UpdateAllStatus(); });
  EXPECT_EQ(second.wait_for(milliseconds(300)), std::future_status::timeout);
  Hold(false);
  first.get();
  second.get();
  EXPECT_EQ(UpdateCalls(), 2);  // one pass over two elements
}

TEST_F(ElementStatusTest, RemovalDuringAPollNeverStartsAnotherAndKeepsWhatThePollUses) {
  auto registry = Loaded(&clock_);
  registry->AddElement("tc01", "10.9.0.1", 1);
  registry->AddElement("tc02", "10.9.0.2", 3600);
  Hold(true);
  ASSERT_TRUE(clock_.WaitForWaiters(2));
  clock_.Advance(seconds(1));
  ASSERT_TRUE(WaitInside(1));
  SetDevice("10.9.0.1", [](FakeDevice& d) { d.status = 2; });

  // Returns while the poll is still inside the plug-in: nothing waits for it.
  registry->RemoveElement("tc01");
  EXPECT_FALSE(registry->IsManaged("10.9.0.1"));
  // The rest of the poll runs on the removed element's session and library.
  Hold(false);
  ASSERT_TRUE(WaitFor([](FakePluginControl& c) { return c.updatesInside == 0; }));
  // Two more intervals pass; only tc02's thread still waits on the clock.
  clock_.Advance(seconds(2));
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  EXPECT_EQ(UpdatesOf("10.9.0.1"), 1);
  // Only the removal is reported, not the late status of the removed element.
  const auto changes = listener_.Changes();
  ASSERT_EQ(changes.size(), 1u);
  EXPECT_EQ(changes[0].first, "tc01");
  EXPECT_EQ(registry->OverallStatus(), '0');
}

// A poll that has passed its checks but not yet called the plug-in when the
// element is removed never calls it: the last check and the call are one
// step with respect to the removal. The poll is held in between by the
// dynamic loader's lock, which its look-up of "UpdateStatus" needs.
TEST_F(ElementStatusTest, APollHeldBeforeItsCallNeverCallsTheRemovedElementsPlugIn) {
  auto registry = Loaded(&clock_);
  registry->AddElement("tc01", "10.9.0.1", 1);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  const std::string fifo = dir_.File("init.fifo");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  ScopedEnv name("KOR_BLOCKING_INIT_FIFO", fifo);
  // Holds the loader's lock until the FIFO is opened for writing.
  auto loading = std::async(std::launch::async, [] {
    return ::dlopen((std::string(KOR_BINARY_DIR) + "/tests/fake_plugins/blocking_init.so").c_str(), RTLD_NOW);
  });
  // The next poll (one second on the clock) passes its checks and waits for
  // the lock; a moment of real time lets it get there.
  clock_.Advance(seconds(1));
  std::this_thread::sleep_for(milliseconds(500));
  registry->RemoveElement("tc01");
  const int callsAtRemoval = UpdatesOf("10.9.0.1");
  const int writer = ::open(fifo.c_str(), O_WRONLY);
  ASSERT_GE(writer, 0);
  ::close(writer);
  void* library = loading.get();
  ASSERT_NE(library, nullptr) << ::dlerror();
  ::dlclose(library);
  registry.reset();  // joins the polling thread: its poll is over
  EXPECT_EQ(UpdatesOf("10.9.0.1"), callsAtRemoval);
}

TEST_F(ElementStatusTest, RemovingAWaitingElementAndDestroyingTheRegistryDoNotWaitForIntervals) {
  auto registry = Loaded();
  registry->AddElement("tc01", "10.9.0.1", 3600);
  registry->AddElement("tc02", "10.9.0.2", 3600);
  registry->RemoveElement("tc01");
  registry.reset();  // joins every polling thread; each ends at once
  EXPECT_EQ(UpdateCalls(), 0);
}

// On a clock the test moves: an element whose plug-in stored the current
// time skips every cycle for 120 seconds and polls at the first cycle after
// that; an element with an expired stamp polls at once.
TEST_F(ElementStatusTest, TrapReceiverStampHoldsOffPollsFor120Seconds) {
  constexpr uint32_t kStart = 1000000;
  ManualClock clock(kStart);
  auto registry = Loaded(&clock);
  SetDevice("10.9.0.1", [&](FakeDevice& d) { d.stampToStore = kStart; });
  SetDevice("10.9.0.2", [&](FakeDevice& d) { d.stampToStore = kStart - 121; });
  registry->AddElement("held", "10.9.0.1", 1);
  registry->AddElement("free", "10.9.0.2", 1);
  registry->ConfigureTrapReceiver("held");
  registry->ConfigureTrapReceiver("free");
  ASSERT_TRUE(clock.WaitForWaiters(2));

  // One cycle: the expired stamp is cleared and the element polled.
  clock.Advance(seconds(1));
  ASSERT_TRUE(WaitFor([](FakePluginControl& c) { return c.updatesByAddress["10.9.0.2"] == 1; }));
  ASSERT_TRUE(clock.WaitForWaiters(2));
  EXPECT_EQ(UpdatesOf("10.9.0.1"), 0);

  // 119 seconds after the stamp: still held off, cycle after cycle.
  for (int second = 2; second <= 119; ++second) {
    clock.Advance(seconds(1));
    ASSERT_TRUE(WaitFor([second](FakePluginControl& c) { return c.updatesByAddress["10.9.0.2"] == second; }));
    ASSERT_TRUE(clock.WaitForWaiters(2));
  }
  EXPECT_EQ(UpdatesOf("10.9.0.1"), 0);

  // 120 seconds: the first cycle after the hold-off clears it and polls.
  clock.Advance(seconds(1));
  ASSERT_TRUE(WaitFor([](FakePluginControl& c) { return c.updatesByAddress["10.9.0.1"] == 1; }));
  registry.reset();  // the pollers end before the clock goes
}

// Anyone can send a trap naming an unbound element: traps bring its
// recognition retry forward once per spacing, not one retry per trap.
TEST(ElementStateTest, TrapsWakeTheRetryAtMostOncePerSpacing) {
  ManualClock clock;
  ElementState state("silent", "10.9.0.9", 300, nullptr, &clock);
  EXPECT_TRUE(state.WakeForTrap(seconds(10)));
  EXPECT_TRUE(state.WakeEvent().IsSet());
  state.WakeEvent().Reset();
  for (int i = 0; i < 100; ++i) EXPECT_FALSE(state.WakeForTrap(seconds(10)));
  clock.Advance(seconds(9));
  EXPECT_FALSE(state.WakeForTrap(seconds(10)));
  EXPECT_FALSE(state.WakeEvent().IsSet());
  clock.Advance(seconds(1));
  EXPECT_TRUE(state.WakeForTrap(seconds(10)));
  EXPECT_TRUE(state.WakeEvent().IsSet());
}

TEST_F(ElementStatusTest, RegistryOperationsFromManyThreadsAtOnce) {
  auto registry = Loaded(&clock_);
  for (int i = 1; i <= 4; ++i) {
    registry->AddElement("tc0" + std::to_string(i), "10.9.0." + std::to_string(i), 1);
  }
  std::atomic<bool> stop{false};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    while (!stop) registry->ListElements(true);
  });
  threads.emplace_back([&] {
    while (!stop) {
      registry->OverallStatus();
      RecordName(*registry, "10.9.0.2");
      registry->SetPollingInterval(1);
    }
  });
  threads.emplace_back([&] {
    for (int round = 0; !stop; ++round) {
      const std::string name = "x" + std::to_string(round % 3);
      try {
        registry->AddElement(name, "10.9.2." + std::to_string(round % 3), 1);
        registry->RenameElement(name, name + "r");
        registry->RemoveElement(name + "r");
      } catch (OrlaException* e) {
        std::unique_ptr<OrlaException> owned(e);
      }
    }
  });
  // Thirty polls of tc01 while the other threads work: the clock moves a
  // second at a time until the element has polled once more.
  for (int i = 0; i < 30; ++i) {
    SetDevice("10.9.0.1", [i](FakeDevice& d) { d.status = i % 3; });
    const int before = UpdatesOf("10.9.0.1");
    EXPECT_TRUE(WaitUntil([&] {
      clock_.Advance(seconds(1));
      return UpdatesOf("10.9.0.1") > before;
    }));
  }
  stop = true;
  for (auto& t : threads) t.join();
  registry.reset();
  EXPECT_GT(UpdateCalls(), 0);
}

}  // namespace
}  // namespace orla::test
