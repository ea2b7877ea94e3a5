// The notification gate between the registry and the trap sender: what an
// element's changes send north as they hold, flap and settle, and around a
// maintenance window (one table of steps each, on the manual clock).
#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/core/maintenance_book.h"
#include "agent/traps/notification_gate.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/manual_clock.h"
#include "tests/unit/traps/gate_fixture.h"

namespace orla {
namespace {

using test::NorthListener;

class NotificationGateMaintenanceTest : public test::MaintenanceGateFixture {};

TEST_F(NotificationGateMaintenanceTest, MaintenanceHoldsBackAndTellsWhatStillStands) {
  NotificationGate gate(&north_, &book_, {1, 5, 30}, &clock_);
  book_.SetEndListener([&gate](const MaintenanceWindow& w) { gate.WindowEnded(w.element, w.endMs); });

  enum Act { kChange, kPoll, kWindow10, kEndEarly };
  const struct {
    const char* step;
    Act act;
    const char* element;
    int32_t current;  // kChange: the element's new status (0 ok, 2 failed)
    char overall;
    int advanceMinutes;  // before the act
    std::vector<std::string> north;
  } steps[] = {
      {"a change passes", kChange, "tc01", 2, '2', 0, {"tc01:2:2"}},
      {"tc01 in maintenance", kWindow10, "tc01", 0, '2', 0, {}},
      {"its recovery is held back", kChange, "tc01", 0, '0', 1, {}},
      {"its failure too", kChange, "tc01", 2, '2', 1, {}},
      {"another element's change passes", kChange, "tc02", 1, '2', 0, {"tc02:1:2"}},
      {"a poll inside the window", kPoll, "tc02", 0, '2', 1, {}},
      {"the window's end, seen at a poll: tc01 still failed", kPoll, "tc02", 0, '2', 7, {"tc01:2:2"}},
      {"after the window tc01 passes again", kChange, "tc01", 0, '1', 0, {"tc01:0:1"}},
      {"in maintenance once more", kWindow10, "tc01", 0, '1', 0, {}},
      {"ended early while well: nothing stands", kEndEarly, "tc01", 0, '1', 1, {}},
      {"tc02 in maintenance", kWindow10, "tc02", 0, '1', 0, {}},
      {"ended early while degraded: told at once", kEndEarly, "tc02", 0, '1', 1, {"tc02:1:1"}},
      {"a window ended by a change of another element", kWindow10, "tc01", 0, '1', 0, {}},
      {"tc01 fails within it", kChange, "tc01", 2, '2', 1, {}},
      {"tc02's change after tc01's window", kChange, "tc02", 0, '2', 10, {"tc01:2:2", "tc02:0:2"}},
  };
  for (const auto& s : steps) {
    clock_.Advance(std::chrono::minutes(s.advanceMinutes));
    switch (s.act) {
      case kChange: {
        StatusChange change;
        change.name = s.element;
        change.current = s.current;
        change.overall = s.overall;
        gate.NotifyStatusChange(change);
        break;
      }
      case kPoll: gate.NotifyPolled(s.element); break;
      case kWindow10: {
        const MaintenanceBook::Request request{"oper1", "drive swap", 0, clock_.WallMilliseconds() + 10 * 60 * 1000};
        ASSERT_EQ(book_.Set({s.element}, request, nullptr), MaintenanceBook::Outcome::kDone) << s.step;
        break;
      }
      case kEndEarly: ASSERT_EQ(book_.End(s.element, nullptr), MaintenanceBook::Outcome::kDone) << s.step; break;
    }
    EXPECT_EQ(north_.Take(), s.north) << s.step;
  }
}

TEST(NotificationGateTest, AStatusHoldsBeforeItIsNotifiedAndFlappingIsToldOnce) {
  test::ManualClock clock;
  test::EventLogCapture log;
  NorthListener north;
  // Two polls to hold; more than 3 changes within 10 minutes is flapping.
  NotificationGate gate(&north, nullptr, {2, 3, 10}, &clock);
  enum Act { kChange, kPoll };
  const struct {
    const char* step;
    Act act;
    int32_t current;  // kChange: tc01's new status
    int advanceMinutes;  // before the act
    std::vector<std::string> north;
  } steps[] = {
      {"a failure waits for its second poll", kChange, 2, 0, {}},
      {"held: notified", kPoll, 0, 1, {"tc01:2:2"}},
      {"held on: nothing more", kPoll, 0, 1, {}},
      {"recovery waits", kChange, 0, 5, {}},
      {"failed again before it held: nothing to tell", kChange, 2, 0, {}},
      {"the failure still stands", kPoll, 0, 0, {}},
      {"old changes age out: a recovery holds", kChange, 0, 11, {}},
      {"notified", kPoll, 0, 0, {"tc01:0:0"}},
      {"a change", kChange, 1, 1, {}},
      {"a change back", kChange, 0, 0, {}},
      {"the fourth within 10 minutes: flapping, told at once", kChange, 2, 0, {"tc01:2:2"}},
      {"flapping: held back", kChange, 1, 0, {}},
      {"held for two polls, but too many changes within the period", kPoll, 0, 1, {}},
      {"still too many", kPoll, 0, 1, {}},
      {"the period passes: settled, its latest status notified", kPoll, 0, 9, {"tc01:1:1"}},
      {"after settling, a change waits for its polls again", kChange, 0, 1, {}},
      {"notified", kPoll, 0, 0, {"tc01:0:0"}},
  };
  for (const auto& s : steps) {
    clock.Advance(std::chrono::minutes(s.advanceMinutes));
    if (s.act == kChange) {
      StatusChange change;
      change.name = "tc01";
      change.address = "127.0.9.1";
      change.current = s.current;
      change.overall = static_cast<char>('0' + s.current);
      gate.NotifyStatusChange(change);
    } else {
      gate.NotifyPolled("tc01");
    }
    EXPECT_EQ(north.Take(), s.north) << s.step;
  }
  EXPECT_EQ(log.Count("WARNING: tc01 (127.0.9.1): the status changed 4 times within 10 minutes: flapping."), 1);
  EXPECT_EQ(log.Count("INFO: tc01 (127.0.9.1): the status has settled; it is notified again."), 1);
}

// The end timer takes the window, a poll sends the status before the timer
// tells the end: the end sends nothing more.
TEST_F(NotificationGateMaintenanceTest, AnEndToldAfterAPollThatSentTheStatusSendsNothingMore) {
  NotificationGate gate(&north_, &book_, {2, 5, 30}, &clock_);
  std::vector<MaintenanceWindow> ended;
  book_.SetEndListener([&ended](const MaintenanceWindow& w) { ended.push_back(w); });
  ASSERT_EQ(book_.Set({"tc01"}, {"oper1", "drive swap", 0, clock_.WallMilliseconds() + 10 * 60 * 1000}, nullptr),
            MaintenanceBook::Outcome::kDone);
  clock_.Advance(std::chrono::minutes(9));
  gate.NotifyStatusChange({"tc01", "", -1, 2, false, "", '2', true});
  clock_.Advance(std::chrono::minutes(1));
  book_.Expire();
  ASSERT_EQ(ended.size(), 1u);
  gate.NotifyPolled("tc01");
  EXPECT_EQ(north_.Take(), std::vector<std::string>{"tc01:2:2"});
  gate.WindowEnded(ended[0].element, ended[0].endMs);
  EXPECT_EQ(north_.Take(), std::vector<std::string>{});
}

}  // namespace
}  // namespace orla
