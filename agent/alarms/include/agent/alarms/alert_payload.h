#pragma once
// AlertPayload: the agent's alarms as Alertmanager's API v2 takes them.
// Every alert carries the same labels for as long as its alarm stands, so
// Alertmanager keeps it as one alert and routes can match on them:
//   alertname     "KORElementAlarm"
//   element       the element's name
//   address       its address
//   severity      "info", "warning" or "critical"
//   kind          the kind of condition ("status", "unanswered", ...)
//   part          where the alarm concerns a part of the device, the part
//                 as the plug-in names it ("drive:3:tapealert:20")
//   <name>        and its first name and number: drive="3"
//   acknowledged  "true", only while somebody has taken the alarm
// The reason goes into the annotations: "summary" (element, address and
// reason on one line) and "description" (the reason, since when, and who
// acknowledged it with their note).
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "agent/alarms/alarm.h"

namespace orla {

class AlertPayload {
 public:
  static constexpr const char* kAlertName = "KORElementAlarm";
  using Labels = std::vector<std::pair<std::string, std::string>>;

  static Labels LabelsOf(const Alarm& alarm);
  // One alert of the POST /api/v2/alerts array: starting at the alarm's
  // since time and ending at `endsMs` (ms since 1970 UTC): a time ahead
  // while the alarm stands, the present when it has cleared.
  static std::string AlertJson(const Alarm& alarm, int64_t endsMs);
  // "[" alerts "]".
  static std::string ArrayJson(const std::vector<std::string>& alerts);
  // The body of POST /api/v2/silences: a silence of every alert whose
  // element label is `element`, from `startsMs` to `endsMs`. Its comment
  // (the window's reason, or "Maintenance of <element>") ends with
  // SilenceMark(signature), by which the agent knows its own silences
  // again after a restart.
  static std::string SilenceJson(const std::string& element, int64_t startsMs, int64_t endsMs,
                                 const std::string& createdBy, const std::string& comment,
                                 const std::string& signature);
  // " [" signature "]".
  static std::string SilenceMark(const std::string& signature);
};

}  // namespace orla
