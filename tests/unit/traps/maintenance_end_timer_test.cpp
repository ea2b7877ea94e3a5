// The maintenance book's end timer: an alarm still standing when a window
// ends is notified at the end, with no poll of any element to see it (one
// table of steps on the manual clock; each step waits until the timer has
// looked and waits again).
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/core/maintenance_book.h"
#include "agent/traps/notification_gate.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/traps/north_listener.h"

namespace orla {
namespace {

TEST(MaintenanceEndTimerTest, AWindowsEndIsToldAtTheEnd) {
  test::TempDir dir;
  test::ManualClock clock;
  MaintenanceBook book(dir.File("maintenance"), &clock);
  test::NorthListener north;
  NotificationGate gate(&north, &book, {1, 5, 30}, &clock);
  book.SetEndListener([&gate](const MaintenanceWindow& w) { gate.WindowEnded(w.element, w.endMs); });
  book.StartEndTimer();
  ASSERT_TRUE(clock.WaitForWaiters(1));

  enum Act { kChange, kWindow, kPoll, kWait };
  const struct {
    const char* step;
    Act act;
    const char* element;
    int value;  // kChange: the new status; kWindow: its minutes
    int advanceMinutes;  // kWait: how long
    std::vector<std::string> north;
  } steps[] = {
      {"tc01 fails", kChange, "tc01", 2, 0, {"tc01:2:2"}},
      {"a window of 10 minutes", kWindow, "tc01", 10, 0, {}},
      {"degraded within it: held back", kChange, "tc01", 1, 0, {}},
      {"9 minutes on, nothing ends", kWait, "", 0, 9, {}},
      {"the end: told with no poll", kWait, "", 0, 1, {"tc01:1:1"}},
      {"a poll at once after it: nothing twice", kPoll, "tc01", 0, 0, {}},
      {"tc02 degraded", kChange, "tc02", 1, 0, {"tc02:1:1"}},
      {"a window of 30 minutes for tc02", kWindow, "tc02", 30, 0, {}},
      {"one of 5 for tc01, ending first", kWindow, "tc01", 5, 0, {}},
      {"tc01's end comes first", kWait, "", 0, 5, {"tc01:1:1"}},
      {"tc02 recovers within its window", kChange, "tc02", 0, 0, {}},
      {"its end: nothing stands", kWait, "", 0, 25, {}},
  };
  for (const auto& s : steps) {
    switch (s.act) {
      case kChange: {
        StatusChange change;
        change.name = s.element;
        change.current = s.value;
        change.overall = static_cast<char>('0' + s.value);
        gate.NotifyStatusChange(change);
        break;
      }
      case kWindow: {
        const MaintenanceBook::Request request{"oper1", "drive swap", 0, clock.WallMilliseconds() + s.value * 60000};
        const uint64_t before = clock.WaitsBegun();
        ASSERT_EQ(book.Set({s.element}, request, nullptr), MaintenanceBook::Outcome::kDone) << s.step;
        // The change wakes the timer, which waits again for the new end.
        ASSERT_TRUE(clock.WaitForWaitsSince(before, 1)) << s.step;
        break;
      }
      case kPoll: gate.NotifyPolled(s.element); break;
      case kWait: ASSERT_TRUE(clock.Step(std::chrono::minutes(s.advanceMinutes), 1)) << s.step; break;
    }
    EXPECT_EQ(north.Take(), s.north) << s.step;
  }
}

}  // namespace
}  // namespace orla
