#pragma once
// What the metrics page reports about polling: the duration of every status
// update of an element (by its polling thread or within a pass) and of every
// status pass, and how many ended in an error. One instance per process.
#include <atomic>
#include <cstdint>

#include "agent/core/duration_histogram.h"

namespace orla {

class PollStatistics {
 public:
  static PollStatistics& Instance();

  DurationHistogram polls;
  std::atomic<uint64_t> pollFailures{0};
  DurationHistogram passes;
  std::atomic<uint64_t> passFailures{0};
};

}  // namespace orla
