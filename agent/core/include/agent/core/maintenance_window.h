#pragma once
// MaintenanceWindow: planned work on one element, from `startMs` until
// `endMs` (ms since 1970 UTC, the end excluded), with why and who set it.
// While it covers a moment, the element's status changes are logged as
// ever but nothing is notified north for them, and its alarms show the
// state "in maintenance" (MaintenanceBook).
#include <cstdint>
#include <string>

namespace orla {

struct MaintenanceWindow {
  std::string element;
  int64_t startMs = 0;
  int64_t endMs = 0;
  std::string reason;
  std::string by;  // the user who set it

  bool Covers(int64_t atMs) const { return startMs <= atMs && atMs < endMs; }
};

}  // namespace orla
