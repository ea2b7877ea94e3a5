#include "platform/sync/clock.h"

namespace orla {

namespace {

class SystemClock : public Clock {
 public:
  SteadyTime SteadyNow() override { return std::chrono::steady_clock::now(); }
  WallTime WallNow() override { return std::chrono::system_clock::now(); }
  bool WaitFor(ManualResetEvent& stop, std::chrono::milliseconds duration) override {
    return stop.WaitFor(duration);
  }
};

}  // namespace

Clock* Clock::System() {
  // Never destroyed: threads may ask until the process ends.
  static Clock* const clock = new SystemClock();
  return clock;
}

}  // namespace orla
