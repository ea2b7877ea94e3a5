#pragma once
// One poll's counters and wear facts of an element, as its plug-in's
// optional "ReadDeviceCounters" gave them, with the rates the agent worked
// out (CounterRate). Immutable once published: an element's status cell
// holds the latest by shared pointer, so pages, the API and the metrics read
// it from the snapshot, and a writer of history can keep each one as it
// comes (every new one is a new object with its own time stamp).
#include <cstdint>
#include <optional>
#include <vector>

namespace orla {

struct DeviceSamples {
  struct Sample {
    int32_t part = 0;   // plugin::kPartPort, kPartDrive, kPartDevice
    int32_t index = 0;  // the port's or drive's index; 0 for the device
    int32_t kind = 0;   // plugin::kPortCrcErrors, ... (DeviceCounterKind)
    // The value; none when the device does not support the counter.
    std::optional<uint64_t> value;
    // A counter's rate per second since the previous sample; none for the
    // first sample, after a reset, for an unsupported counter and a gauge.
    std::optional<double> perSecond;
    // A counter's increase over the last hour as far as the agent saw it
    // (polls it missed are spread over the interval that spans them).
    std::optional<double> lastHour;
  };

  int64_t takenMs = 0;  // when the device answered them, ms since 1970 UTC
  std::vector<Sample> samples;
};

}  // namespace orla
