#pragma once
// The one sorting of an element's status into what an operator is shown:
// the element list's image, status.json's counts, the metrics' status series,
// the status-change events and the console (which reads the list). 0 ok,
// 1 degraded, 2 failed; everything else is unknown: 3, a status not read yet
// (-1) and any other answer of a plug-in. The overall status of kor.xml and
// of the agent's own traps follows a rule of its own, fixed for those peers
// (ElementDirectory::OverallStatus).
#include <cstdint>

namespace orla {

class StatusBucket {
 public:
  enum class Kind : int32_t { kOk = 0, kDegraded = 1, kFailed = 2, kUnknown = 3 };
  static Kind Of(int32_t status);
};

}  // namespace orla
