#include "request_bucket.h"

#include <algorithm>

namespace orla {

RequestBucket::RequestBucket(int perSecond, ManualResetEvent& stop, Clock* clock)
    // Rounded up: slots a hair too close would let one more into a second.
    : interval_((std::chrono::nanoseconds(std::chrono::seconds(1)) + std::chrono::nanoseconds(std::max(perSecond, 1) - 1)) /
                std::max(perSecond, 1)),
      stop_(stop),
      clock_(Clock::Or(clock)) {}

bool RequestBucket::Take() {
  Clock::SteadyTime slot;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (stop_.IsSet()) return false;
    const Clock::SteadyTime now = clock_->SteadyNow();
    slot = started_ && next_ > now ? next_ : now;
    started_ = true;
    next_ = slot + interval_;
    ++taken_;
    // Slots are handed out in time order: the window is the slots less
    // than one second before this one.
    lastSecond_.push_back(slot);
    while (slot - lastSecond_.front() >= std::chrono::seconds(1)) lastSecond_.pop_front();
    peak_ = std::max<uint64_t>(peak_, lastSecond_.size());
  }
  while (true) {
    const Clock::SteadyTime now = clock_->SteadyNow();
    if (now >= slot) return !stop_.IsSet();
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(slot - now);
    if (clock_->WaitFor(stop_, left)) return false;
  }
}

uint64_t RequestBucket::Taken() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return taken_;
}

uint64_t RequestBucket::PeakPerSecond() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return peak_;
}

}  // namespace orla
