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
// An element not polled yet (bound, no status read) has none of these.
// Beside them, a bound element has one alarm per part its traps raised a
// condition on (kind "trap", the part as the plug-in names it, the trap's
// severity and text), until the condition lapses at `nowMs`.
#include <cstdint>
#include <vector>

#include "agent/alarms/alarm.h"
#include "agent/devices/element_snapshot.h"

namespace orla {

class AlarmConditions {
 public:
  static constexpr const char* kNotAnswering = "Not answering";
  static std::vector<Alarm> Of(const ElementView& element, int64_t nowMs);

 private:
  // The one alarm of the element's status, answering and binding; none when all is well.
  static std::vector<Alarm> OfStatus(const ElementView& element);
};

}  // namespace orla
