#include "agent/core/duration_histogram.h"

namespace orla {

void DurationHistogram::Observe(double seconds) {
  if (!(seconds >= 0)) seconds = 0;  // also NaN
  for (size_t i = 0; i < kBounds.size(); ++i) {
    if (seconds <= kBounds[i]) {
      buckets_[i].fetch_add(1, std::memory_order_relaxed);
      break;
    }
  }
  sumMicroseconds_.fetch_add(static_cast<uint64_t>(seconds * 1e6 + 0.5), std::memory_order_relaxed);
  count_.fetch_add(1, std::memory_order_release);
}

DurationHistogram::Snapshot DurationHistogram::Take() const {
  Snapshot snapshot;
  // The count first: every bucket read after it holds at least what the
  // count covers, so the cumulative figures never exceed the count.
  snapshot.count = count_.load(std::memory_order_acquire);
  snapshot.sumSeconds = static_cast<double>(sumMicroseconds_.load(std::memory_order_relaxed)) / 1e6;
  uint64_t running = 0;
  for (size_t i = 0; i < kBounds.size(); ++i) {
    running += buckets_[i].load(std::memory_order_relaxed);
    snapshot.bounds.push_back(kBounds[i]);
    snapshot.cumulative.push_back(running < snapshot.count ? running : snapshot.count);
  }
  return snapshot;
}

}  // namespace orla
