#pragma once
// The one sorting of an element's status into what an operator is shown:
// the element list's image, status.json's counts, the metrics' status series,
// the status-change events and the console (which reads the list). 0 ok,
// 1 degraded, 2 failed, -1 not polled yet (bound, no poll has answered a
// status; neither healthy nor failed); everything else is unknown: 3 and
// any other answer of a plug-in. The element list's image shows a
// not-polled element as unknown (its markup knows four images). The overall status of kor.xml and
// of the agent's own traps follows a rule of its own, fixed for those peers
// (ElementSnapshot::OverallStatus).
#include <cstdint>

namespace orla {

class StatusBucket {
 public:
  enum class Kind : int32_t { kOk = 0, kDegraded = 1, kFailed = 2, kUnknown = 3, kNotPolled = 4 };
  static Kind Of(int32_t status);
};

}  // namespace orla
