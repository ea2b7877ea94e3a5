#pragma once
// The time source of the polling threads: the current time (seconds since
// 1970-01-01 00:00 UTC, the unit of the trap-receiver stamp) and the wait of
// one polling interval, which a stop ends early. The agent uses the system
// clock; tests hand the registry a clock they advance themselves, so no test
// waits for a polling interval to pass.
#include <cstdint>

#include "platform/sync/manual_reset_event.h"

namespace orla {

class PollerClock {
 public:
  virtual ~PollerClock() = default;

  virtual uint32_t Now() = 0;
  // Waits until `stop` is set or `seconds` have passed on this clock; true
  // when `stop` ended the wait.
  virtual bool WaitFor(ManualResetEvent& stop, int64_t seconds) = 0;

  // The system's clock; lives as long as the process.
  static PollerClock* System();
};

}  // namespace orla
