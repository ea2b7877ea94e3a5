#pragma once
// One alarm: a condition of an element that needs a person, as the alarm
// book reports it. Its id is stable for as long as the condition lasts:
// the element's name, the kind of condition and, where the condition
// concerns a part of the device, the part ("tc01:status",
// "lib1:drive:3"). The severity uses the event log's numbers (0 info,
// 1 warning, 2 critical).
#include <cstdint>
#include <string>

namespace orla {

struct Alarm {
  enum class State {
    kRaised,        // needs a person, nobody has taken it
    kAcknowledged,  // somebody took it (see the acknowledgement)
    kCleared,       // the condition is gone
    kMaintenance,   // the element is in a maintenance window (MaintenanceBook)
  };

  // Who took the alarm, when, their note and until when (0: no end).
  struct Acknowledgement {
    std::string user;
    int64_t atMs = 0;
    std::string note;
    int64_t expiresMs = 0;
    int severity = 0;  // the alarm's severity when it was taken
  };

  // The kinds of condition.
  static constexpr const char* kStatus = "status";          // a polled status other than OK
  static constexpr const char* kUnanswered = "unanswered";  // the device stopped answering
  static constexpr const char* kUnbound = "unbound";        // no plug-in serves the element
  static constexpr const char* kStale = "stale";            // not polled (SNMPv3 only, no profile)
  static constexpr const char* kTrap = "trap";              // a trap raised it on a part; no poll reports it

  std::string id;
  std::string element;
  std::string address;
  std::string kind;
  std::string part;  // empty when the condition is the whole element's
  int severity = 0;
  std::string reason;
  int64_t sinceMs = 0;    // when the condition began, as far as the agent knows
  State state = State::kRaised;
  Acknowledgement acknowledgement;  // meaningful while acknowledged
  int64_t clearedMs = 0;  // when the condition went (cleared alarms)

  static std::string MakeId(const std::string& element, const std::string& kind, const std::string& part);
  static const char* StateName(State state);        // "raised", "acknowledged", "cleared", "maintenance"
  static const char* SeverityName(int severity);    // "info", "warning", "critical"
};

}  // namespace orla
