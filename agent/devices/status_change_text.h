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
  // "OK", "Degraded", "Failed"; "Unknown" for every other status (also
  // for an element not polled yet).
  static const char* Word(int32_t status);
  // The event text (without the severity prefix); `reason` is left out
  // when empty.
  static std::string Text(const std::string& name, const std::string& address, int32_t previous,
                          int32_t current, const std::string& reason = std::string());
  // WARNING (1) for a change to degraded or failed, INFO (0) for every
  // other (a recovery, or a change to unknown).
  static int Severity(int32_t current);
};

}  // namespace orla
