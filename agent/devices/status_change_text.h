#pragma once
// How an element's status change reads in the event log, and at which
// severity it is logged: "tc01 (127.0.1.11): OK → Failed", with the reason
// behind a colon when one is known ("...: OK → Failed: Drive 3 needs
// cleaning"). The status words are the console's.
#include <cstdint>
#include <string>

namespace orla {

class StatusChangeText {
 public:
  // "OK", "Degraded", "Failed", "Not polled yet" (-1: bound, no status
  // read yet); "Unknown" for every other status (3, what a device says
  // when it cannot tell, and any other answer of a plug-in).
  static const char* Word(int32_t status);
  // The event text (without the severity prefix); `reason` is left out
  // when empty.
  static std::string Text(const std::string& name, const std::string& address, int32_t previous,
                          int32_t current, const std::string& reason = std::string());
  // By what the change says: CRITICAL (2) to failed, WARNING (1) to
  // degraded or unknown, INFO (0) to ok (a recovery, or the first poll
  // finding the device healthy).
  static int Severity(int32_t current);
};

}  // namespace orla
