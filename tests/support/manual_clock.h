#pragma once
// A clock that moves only when the test advances it: threads wait on it
// instead of on the system's clock, so a test of intervals, hold-offs and
// once-a-minute reports runs without sleeping. Steady and wall time move
// together.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "platform/sync/clock.h"

namespace orla::test {

class ManualClock : public Clock {
 public:
  // The wall time starts at `wallSeconds` since 1970, the steady time at an
  // arbitrary point.
  explicit ManualClock(uint32_t wallSeconds = 1000000);

  SteadyTime SteadyNow() override;
  WallTime WallNow() override;
  bool WaitFor(ManualResetEvent& stop, std::chrono::milliseconds duration) override;

  void Advance(std::chrono::milliseconds duration);
  // Waits (at most 10 s of real time) until `count` threads wait on the
  // clock; false when they do not.
  bool WaitForWaiters(int count);
  // Advances by `duration`, then waits (at most 10 s of real time) until
  // `count` waits have begun since: each thread the advance woke has done
  // its work and waits again. False when they do not come back.
  bool Step(std::chrono::milliseconds duration, int count);

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::chrono::milliseconds elapsed_{0};
  const uint32_t wallStart_;
  int waiting_ = 0;
  uint64_t begun_ = 0;
};

}  // namespace orla::test
