#pragma once
// What the metrics page reports about traps besides the receiver's own
// counts: traps received from each managed element (by its address), traps
// a plug-in handled (described for the event log), and the agent's own traps
// sent to and failed for each destination. One instance per process.
#include <atomic>
#include <cstdint>

#include "agent/core/keyed_counter.h"

namespace orla {

class TrapStatistics {
 public:
  static TrapStatistics& Instance();

  KeyedCounter receivedFrom;
  std::atomic<uint64_t> handled{0};
  KeyedCounter sentTo;
  KeyedCounter failedFor;
};

}  // namespace orla
