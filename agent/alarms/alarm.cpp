#include "agent/alarms/alarm.h"

namespace orla {

std::string Alarm::MakeId(const std::string& element, const std::string& kind, const std::string& part) {
  std::string id = element + ":" + kind;
  if (!part.empty()) id += ":" + part;
  return id;
}

const char* Alarm::StateName(State state) {
  switch (state) {
    case State::kRaised: return "raised";
    case State::kAcknowledged: return "acknowledged";
    case State::kCleared: return "cleared";
    case State::kMaintenance: return "maintenance";
  }
  return "raised";
}

const char* Alarm::SeverityName(int severity) {
  if (severity >= 2) return "critical";
  if (severity == 1) return "warning";
  return "info";
}

}  // namespace orla
