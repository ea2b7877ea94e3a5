#include "counter_rate.h"

#include <algorithm>
#include <utility>

#include "agent/devices/device_counter_kind.h"

namespace orla {

std::optional<uint64_t> CounterRate::Increase(uint64_t previous, uint64_t current) {
  if (current >= previous) return current - previous;
  if (previous >= kTop - kWrapBand && previous < kTop && current < kWrapBand) return (kTop - previous) + current;
  return std::nullopt;
}

double CounterRate::LastHour(const Track& track, int64_t nowMs) {
  const int64_t from = nowMs - kHourMs;
  double total = 0;
  for (const Step& step : track.steps) {
    const int64_t span = step.toMs - step.fromMs;
    const int64_t inside = step.toMs - std::max(step.fromMs, from);
    if (inside <= 0) continue;
    total += span <= 0 || inside >= span ? static_cast<double>(step.increase)
                                         : static_cast<double>(step.increase) * static_cast<double>(inside) /
                                               static_cast<double>(span);
  }
  return total;
}

void CounterRate::Take(int64_t nowMs, std::vector<DeviceSamples::Sample>* samples) {
  std::map<Key, Track> next;
  for (DeviceSamples::Sample& sample : *samples) {
    sample.perSecond.reset();
    sample.lastHour.reset();
    const DeviceCounterKind::Info* info = DeviceCounterKind::Find(sample.kind);
    if (info == nullptr || !info->counter || !sample.value.has_value() || *sample.value >= kTop) continue;
    const Key key{sample.part, sample.index, sample.kind};
    Track track;
    const auto found = tracks_.find(key);
    if (found != tracks_.end() && nowMs > found->second.atMs) {
      track = std::move(found->second);
      if (const std::optional<uint64_t> increase = Increase(track.value, *sample.value)) {
        track.steps.push_back({track.atMs, nowMs, *increase});
        sample.perSecond = static_cast<double>(*increase) * 1000.0 / static_cast<double>(nowMs - track.atMs);
      } else {
        track.steps.clear();  // a reset: a new baseline
      }
      while (!track.steps.empty() && track.steps.front().toMs <= nowMs - kHourMs) track.steps.pop_front();
      sample.lastHour = LastHour(track, nowMs);
    }
    track.value = *sample.value;
    track.atMs = nowMs;
    next[key] = std::move(track);
  }
  // What is not in this poll (a port gone, a counter now unsupported) is
  // forgotten.
  tracks_ = std::move(next);
}

}  // namespace orla
