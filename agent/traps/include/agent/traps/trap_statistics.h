#pragma once
// What the metrics page reports about traps besides the receiver's own
// counts: traps received from each managed element (by its address), traps
// a plug-in handled (described for the event log), and the agent's own traps
// sent to and failed for each destination, and the notifications to the
// SNMPv2c/SNMPv3 targets. One instance per process.
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
  // The SNMPv2c/SNMPv3 notifications per target ("HOST:PORT"): tries sent,
  // informs acknowledged, tries not answered (sent again), notifications
  // that failed or were given up.
  KeyedCounter notificationsSent;
  KeyedCounter notificationsAcknowledged;
  KeyedCounter notificationsRetried;
  KeyedCounter notificationsFailed;
};

}  // namespace orla
