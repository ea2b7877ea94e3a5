#pragma once
// The one time source of the agent and its libraries: the steady time (for
// intervals, deadlines and hold-offs), the wall time (for stamps and the
// times texts show), and a wait of some time that a stop event ends early.
// Components take a Clock* and use the system's when given none; a test
// hands them a manual clock (tests/support/manual_clock.h) that moves only
// when the test advances it, so no test waits for time to pass.
#include <chrono>
#include <cstdint>

#include "platform/sync/manual_reset_event.h"

namespace orla {

class Clock {
 public:
  using SteadyTime = std::chrono::steady_clock::time_point;
  using WallTime = std::chrono::system_clock::time_point;

  virtual ~Clock() = default;

  virtual SteadyTime SteadyNow() = 0;
  virtual WallTime WallNow() = 0;
  // Waits until `stop` is set or `duration` has passed on this clock; true
  // when `stop` ended the wait.
  virtual bool WaitFor(ManualResetEvent& stop, std::chrono::milliseconds duration) = 0;

  // The wall time in whole seconds since 1970-01-01 00:00 UTC.
  uint32_t WallSeconds() {
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::seconds>(WallNow().time_since_epoch()).count());
  }
  // The wall time in milliseconds since 1970-01-01 00:00 UTC: the stamps of
  // event-log entries and of the status times the pages show.
  int64_t WallMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(WallNow().time_since_epoch()).count();
  }

  // The system's clocks; lives as long as the process.
  static Clock* System();
  // `clock`, or the system's when it is null.
  static Clock* Or(Clock* clock) { return clock != nullptr ? clock : System(); }
};

}  // namespace orla
