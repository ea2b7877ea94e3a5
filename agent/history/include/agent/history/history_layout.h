#pragma once
// What an element's history file holds: one data source per counter or
// gauge its plug-in reports that a chart shows (per port the error kinds,
// frames and octets each way; per drive mounts and hours; for the library
// its slots and cleaning cartridges), and three archives whose sizes depend
// on the polling interval only, so a file never grows however long the
// agent runs:
//   every poll for a day, hourly averages for 31 days, daily averages for
//   two years (731 days).
// Counters are stored as the rates the agent worked out (CounterRate), so
// the rules of a reset, a 63-bit wrap and a missed poll are those of the
// rest of the agent: a sample without a rate is unknown, and a silence
// longer than two polling intervals is a gap (unknown), never zero.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "agent/devices/device_samples.h"

namespace orla {

class HistoryLayout {
 public:
  // One data source: the fact it keeps and its name in the file
  // ("p3_crc": port 3's CRC errors; "d1_mounts", "e0_used").
  struct Source {
    int32_t part = 0;
    int32_t index = 0;
    int32_t kind = 0;
    std::string name;
  };
  // How a chart shows a source: its unit and the factor from what is
  // stored (a rate per second, or the gauge's value) to that unit.
  struct Shown {
    const char* unit;
    double scale;
  };
  // What one archive keeps, in seconds.
  struct Archive {
    unsigned long steps;  // polling intervals per point
    unsigned long rows;
  };
  // What a range of the history endpoint covers: its length and the
  // resolution asked for (seconds; 0: the polling interval).
  struct Range {
    int64_t seconds;
    unsigned long resolution;
  };

  // The sources for an element whose plug-in gave these samples, ordered by
  // part, index and kind; kinds no chart shows are left out.
  static std::vector<Source> For(const DeviceSamples& samples);
  // The source a file's data source name stands for; none for a name this
  // agent did not write.
  static std::optional<Source> FromName(const std::string& name);
  // The value kept for `source`: its rate per second for a counter, else the
  // value; none when the sample has none.
  static std::optional<double> Value(const Source& source, const DeviceSamples::Sample& sample);
  static Shown ShownAs(const Source& source);
  // The archives for a polling interval of `step` seconds.
  static std::vector<Archive> Archives(unsigned long step);
  // "day", "week", "month", "year"; none for anything else.
  static std::optional<Range> RangeNamed(const std::string& name);
};

}  // namespace orla
