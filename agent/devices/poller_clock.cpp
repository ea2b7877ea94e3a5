#include "poller_clock.h"

#include <chrono>
#include <ctime>

namespace orla {

namespace {

class SystemClock : public PollerClock {
 public:
  uint32_t Now() override { return static_cast<uint32_t>(std::time(nullptr)); }
  bool WaitFor(ManualResetEvent& stop, int64_t seconds) override {
    return stop.WaitFor(std::chrono::milliseconds(seconds * 1000));
  }
};

}  // namespace

PollerClock* PollerClock::System() {
  static PollerClock* const clock = new SystemClock();
  return clock;
}

}  // namespace orla
