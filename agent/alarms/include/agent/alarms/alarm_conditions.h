#pragma once
// Which alarms an element's record and status cell show, before any
// acknowledgement (every one raised). At most one per element and kind,
// and one condition hides what follows from it:
//   unbound     no plug-in serves the element (its unbound reason):
//               WARNING;
//   stale       not polled, SNMPv3 only and no profile for the address (the
//               cell's reason): WARNING;
//   unanswered  polled, and the device did not answer the last poll:
//               CRITICAL, the reason the cell gives or "Not answering",
//               since the last answer (or the status time when none);
//   status      answered with a status other than OK: failed CRITICAL,
//               degraded or unknown WARNING, with the plug-in's reason
//               (the status word, "Failed", when it gave none).
// An element not polled yet (bound, no status read) has none.
#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/devices/element_snapshot.h"

namespace orla {

class AlarmConditions {
 public:
  static constexpr const char* kNotAnswering = "Not answering";
  static std::vector<Alarm> Of(const ElementView& element);
};

}  // namespace orla
