// The maintenance book_'s end timer: an alarm still standing when a window
// ends is notified at the end, with no poll to see it (on the manual clock_).
#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/traps/notification_gate.h"
#include "tests/unit/traps/gate_fixture.h"

namespace orla {
namespace {

class MaintenanceEndTimerTest : public test::MaintenanceGateFixture {};

TEST_F(MaintenanceEndTimerTest, AWindowsEndIsToldAtTheEnd) {
  NotificationGate gate(&north_, &book_, {1, 5, 30}, &clock_);
  book_.SetEndListener([&gate](const MaintenanceWindow& w) { gate.WindowEnded(w.element, w.endMs); });
  ASSERT_EQ(book_.Set({"tc01", "tc02"}, {"oper1", "drive swap", 0, clock_.WallMilliseconds() + 10 * 60000}, nullptr),
            MaintenanceBook::Outcome::kDone);
  book_.StartEndTimer();
  ASSERT_TRUE(clock_.WaitForWaiters(1));

  const struct {
    const char* step;
    const char* element;  // changes to `status`; none: the clock moves `minutes`
    int status;
    int minutes;
    std::vector<std::string> north;
  } steps[] = {
      {"tc01 degraded within the window: held back", "tc01", 1, 0, {}},
      {"tc02 fails within it and recovers", "tc02", 0, 0, {}},
      {"9 minutes on: nothing ends", nullptr, 0, 9, {}},
      {"the end: tc01 told without a poll, not tc02", nullptr, 0, 1, {"tc01:1:0"}},
  };
  for (const auto& s : steps) {
    if (s.element != nullptr) {
      gate.NotifyStatusChange({s.element, "", -1, s.status, false, "", static_cast<char>('0' + s.status), true});
    } else {
      ASSERT_TRUE(clock_.Step(std::chrono::minutes(s.minutes), 1)) << s.step;
    }
    EXPECT_EQ(north_.Take(), s.north) << s.step;
  }
  gate.NotifyPolled("tc01");
  EXPECT_EQ(north_.Take(), std::vector<std::string>{}) << "a poll right after the end tells nothing twice";
}

}  // namespace
}  // namespace orla
