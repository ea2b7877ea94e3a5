#pragma once
// A running histogram of durations for the metrics page: how many
// observations fell at or below each bound, their count and their sum. Any
// thread may observe while another takes a snapshot; nothing blocks (the
// figures are atomics, so a snapshot taken during an observation may see it
// in the count but not yet in a bucket, never the reverse order across
// scrapes).
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orla {

class DurationHistogram {
 public:
  // Upper bounds in seconds: from a quick answer on a LAN to a pass that
  // waits for time-outs and retries.
  static constexpr std::array<double, 12> kBounds = {0.005, 0.01, 0.025, 0.05, 0.1, 0.25,
                                                     0.5,   1,    2.5,   5,    10,  30};

  struct Snapshot {
    std::vector<double> bounds;
    std::vector<uint64_t> cumulative;  // observations at or below each bound
    uint64_t count = 0;
    double sumSeconds = 0;
  };

  void Observe(double seconds);
  Snapshot Take() const;

 private:
  std::array<std::atomic<uint64_t>, kBounds.size()> buckets_{};
  std::atomic<uint64_t> count_{0};
  std::atomic<uint64_t> sumMicroseconds_{0};
};

}  // namespace orla
