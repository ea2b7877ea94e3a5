#pragma once
// AlarmsResource: the agent's alarms in the JSON API, from the alarm book
// (AlarmBook) over the registry's snapshot:
//   GET   alarms      {"now": MS, "alarms": [ALARM...]}: the active ones
//                     worst first, then the recently cleared ones
//   GET   alarms/ID   ALARM; 404 when no alarm has the id
//   PATCH alarms/ID   {"note": TEXT, "expiresMinutes": N} takes the alarm
//                     (operator or administrator right); with
//                     {"acknowledged": false} gives it back. 200 ALARM;
//                     400 naming the field at fault, 404, 409 when the
//                     alarm has cleared or (giving back) is not taken.
//                     Each one is an audit event.
// ALARM: {"id","element","address","kind","part","severity" ("critical",
// "warning", "info"),"reason","since","state" ("raised", "acknowledged",
// "cleared", "maintenance"),"acknowledgement" (null, or {"by","at","note",
// "expires"}),"cleared"}, the times in ms since 1970 UTC (null: none).
#include <string>

#include "agent/alarms/alarm.h"
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class AlarmsResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Get(const ApiCall& call);
  static ApiReply Update(const ApiCall& call);

  static std::string AlarmJson(const Alarm& alarm);
  // What the audit event of taking an alarm (or giving it back) says; the
  // alarms page writes the same.
  static std::string ChangeText(bool acknowledged, const std::string& id, const std::string& note);

  static constexpr const char* kNoAlarms = "The alarms are not available.";
};

}  // namespace orla
