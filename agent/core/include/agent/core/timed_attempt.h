#pragma once
// Times one attempt (a poll, a status pass) for the metrics page: on
// leaving its scope the duration goes into the histogram; an attempt that
// was not marked Done (it ended by an exception) also counts as a failure.
// Cancel drops an attempt that turned out not to be one (nothing is
// counted).
#include <atomic>
#include <chrono>
#include <cstdint>

#include "agent/core/duration_histogram.h"
#include "platform/sync/clock.h"

namespace orla {

class TimedAttempt {
 public:
  // The duration is measured on `clock`.
  TimedAttempt(Clock& clock, DurationHistogram& durations, std::atomic<uint64_t>& failures)
      : clock_(clock), durations_(durations), failures_(failures), start_(clock.SteadyNow()) {}
  ~TimedAttempt() {
    if (cancelled_) return;
    durations_.Observe(std::chrono::duration<double>(clock_.SteadyNow() - start_).count());
    if (!done_) failures_.fetch_add(1, std::memory_order_relaxed);
  }
  TimedAttempt(const TimedAttempt&) = delete;
  TimedAttempt& operator=(const TimedAttempt&) = delete;

  void Done() { done_ = true; }
  void Cancel() { cancelled_ = true; }

 private:
  Clock& clock_;
  DurationHistogram& durations_;
  std::atomic<uint64_t>& failures_;
  Clock::SteadyTime start_;
  bool done_ = false;
  bool cancelled_ = false;
};

}  // namespace orla
