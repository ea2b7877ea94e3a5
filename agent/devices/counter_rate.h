#pragma once
// Rates of a device's counters from one poll to the next, for one element.
// Pure logic: it is handed each answered poll's samples with the steady time
// they were read at, and answers per counter the rate per second since the
// previous sample and the increase over the last hour.
//
// The rules:
// - The first sample of a counter is its baseline: no rate.
// - A value at or above the previous one: the difference over the time
//   between the two samples.
// - A value below the previous one is a wrap only when the previous value
//   was near the end of 63 bits (at least 2^63 - 2^48) and the new one is
//   near zero (below 2^48): the device counted past the end and began at
//   zero again, and the increase is what it counted on both sides. 2^48 is
//   more than a 100 Gbit/s port's octet counter grows in a day, so a real
//   wrap always falls in that band, and a reset (power cycle, a cleared
//   port) never does unless the counter was already near its end. Any other
//   decrease is a reset: the new value is a new baseline, no rate, and the
//   hour's increase starts again from nothing. Never a negative rate.
// - A poll the device did not answer is not handed in at all: the next
//   answered poll's difference covers the whole time, so a gap is spread
//   over the time it lasted, never read as zero.
// - A counter without a value (the device marks it unsupported) has no rate
//   and drops what was kept of it; so does a counter that is no longer in
//   the samples (a port the device no longer has): it starts again as new.
// - Gauges (DeviceCounterKind) get no rate.
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <tuple>
#include <vector>

#include "agent/devices/device_samples.h"

namespace orla {

class CounterRate {
 public:
  static constexpr uint64_t kTop = uint64_t{1} << 63;     // the counters count up to kTop - 1
  static constexpr uint64_t kWrapBand = uint64_t{1} << 48;  // "near" the end and the start
  static constexpr int64_t kHourMs = 3600 * 1000;

  // Takes one answered poll's samples, read at steady time `nowMs`, and
  // fills each counter's perSecond and lastHour.
  void Take(int64_t nowMs, std::vector<DeviceSamples::Sample>* samples);

  // The increase from `previous` to `current` by the rules above; none for a
  // reset.
  static std::optional<uint64_t> Increase(uint64_t previous, uint64_t current);

 private:
  using Key = std::tuple<int32_t, int32_t, int32_t>;  // part, index, kind
  struct Step {
    int64_t fromMs;
    int64_t toMs;
    uint64_t increase;
  };
  struct Track {
    uint64_t value = 0;
    int64_t atMs = 0;
    std::deque<Step> steps;  // those that end within the last hour
  };
  // The increase of `track`'s steps that falls within the hour before nowMs.
  static double LastHour(const Track& track, int64_t nowMs);

  std::map<Key, Track> tracks_;
};

}  // namespace orla
