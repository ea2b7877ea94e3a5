#pragma once
// A poller clock that moves only when the test advances it: polling threads
// wait on it instead of on the system clock, so a test of intervals and
// hold-offs runs without sleeping.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>

#include "agent/devices/poller_clock.h"

namespace orla::test {

class ManualClock : public PollerClock {
 public:
  explicit ManualClock(uint32_t now) : now_(now) {}

  uint32_t Now() override {
    std::lock_guard<std::mutex> hold(mutex_);
    return now_;
  }

  bool WaitFor(ManualResetEvent& stop, int64_t seconds) override {
    std::unique_lock<std::mutex> hold(mutex_);
    const uint64_t deadline = static_cast<uint64_t>(now_) + static_cast<uint64_t>(seconds);
    ++waiting_;
    changed_.notify_all();
    bool stopped = false;
    // The stop event is looked at every few milliseconds: a stop ends the
    // wait without the test advancing the clock.
    while (!(stopped = stop.IsSet()) && now_ < deadline) changed_.wait_for(hold, std::chrono::milliseconds(5));
    --waiting_;
    changed_.notify_all();
    return stopped;
  }

  void Advance(uint32_t seconds) {
    std::lock_guard<std::mutex> hold(mutex_);
    now_ += seconds;
    changed_.notify_all();
  }

  // Waits (at most 10 s of real time) until `count` threads wait on the
  // clock; false when they do not.
  bool WaitForWaiters(int count) {
    std::unique_lock<std::mutex> hold(mutex_);
    return changed_.wait_for(hold, std::chrono::seconds(10), [&] { return waiting_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  uint32_t now_;
  int waiting_ = 0;
};

}  // namespace orla::test
