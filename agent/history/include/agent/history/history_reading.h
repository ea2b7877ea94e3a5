#pragma once
// An element's history over one range as a chart draws it: the time of each
// point and, per series (one data source of the file), its unit and its
// points in that unit; none where the history has a gap.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orla {

struct HistoryReading {
  struct Series {
    std::string part;  // "port", "drive", "device"
    int32_t index = 0;
    std::string kind;  // the counter kind's name (DeviceCounterKind): "crc_errors", "mounts", ...
    std::string unit;  // "errors/h", "bytes/s", "mounts/day", "h", "slots", ...
    std::vector<std::optional<double>> points;
  };

  int64_t stepMs = 0;
  std::vector<int64_t> timesMs;  // the end of each point's interval, ms since 1970 UTC
  std::vector<Series> series;
};

}  // namespace orla
