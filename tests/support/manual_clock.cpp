#include "tests/support/manual_clock.h"

namespace orla::test {

ManualClock::ManualClock(uint32_t wallSeconds) : wallStart_(wallSeconds) {}

Clock::SteadyTime ManualClock::SteadyNow() {
  std::lock_guard<std::mutex> hold(mutex_);
  return SteadyTime(std::chrono::hours(24) + elapsed_);
}

Clock::WallTime ManualClock::WallNow() {
  std::lock_guard<std::mutex> hold(mutex_);
  return WallTime(std::chrono::seconds(wallStart_) + elapsed_);
}

bool ManualClock::WaitFor(ManualResetEvent& stop, std::chrono::milliseconds duration) {
  std::unique_lock<std::mutex> hold(mutex_);
  const auto deadline = elapsed_ + duration;
  ++waiting_;
  ++begun_;
  changed_.notify_all();
  bool stopped = false;
  // The stop event is looked at every few milliseconds: a stop ends the
  // wait without the test advancing the clock.
  while (!(stopped = stop.IsSet()) && elapsed_ < deadline) changed_.wait_for(hold, std::chrono::milliseconds(5));
  --waiting_;
  changed_.notify_all();
  return stopped;
}

void ManualClock::Advance(std::chrono::milliseconds duration) {
  std::lock_guard<std::mutex> hold(mutex_);
  elapsed_ += duration;
  changed_.notify_all();
}

bool ManualClock::Step(std::chrono::milliseconds duration, int count) {
  std::unique_lock<std::mutex> hold(mutex_);
  const uint64_t before = begun_;
  elapsed_ += duration;
  changed_.notify_all();
  return changed_.wait_for(hold, std::chrono::seconds(10),
                           [&] { return begun_ >= before + static_cast<uint64_t>(count); });
}

bool ManualClock::WaitForWaiters(int count) {
  std::unique_lock<std::mutex> hold(mutex_);
  return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return waiting_ >= count; });
}

}  // namespace orla::test
