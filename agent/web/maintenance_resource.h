#pragma once
// MaintenanceResource: the maintenance windows in the JSON API, from the
// agent's MaintenanceBook:
//   GET    maintenance            {"now": MS, "windows": [WINDOW...]}: the
//                                 windows that have not ended, by element
//   POST   maintenance            {"elements": [NAME...], "minutes": N or
//                                 "end": TIME, "start": TIME (optional,
//                                 default now), "reason": TEXT} sets one
//                                 window per element (replacing an earlier
//                                 one); 201 {"windows": [WINDOW...]}; 400
//                                 naming the field at fault (an unknown
//                                 element, a bad time, no reason, a field
//                                 not known here)
//   DELETE maintenance/{element}  ends the element's window now; 200
//                                 WINDOW as it was, 404 when it has none
// Setting and ending need the operator or the administrator right; each
// one is an audit event naming the user (and the token). TIME is
// "2026-12-09T10:00:00Z" (UTC, milliseconds allowed: ".123Z").
// WINDOW: {"element","start","end","reason","by"}, the times in ms since
// 1970 UTC.
#include <cstdint>
#include <string>

#include "agent/core/maintenance_window.h"
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class MaintenanceResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Create(const ApiCall& call);
  static ApiReply End(const ApiCall& call);

  static std::string WindowJson(const MaintenanceWindow& window);
  // What the audit events say; the alarms page writes the same.
  static std::string SetText(const MaintenanceWindow& window);
  static std::string EndText(const std::string& element);
  // "2026-12-09T10:00:00Z" or with milliseconds as ms since 1970 UTC; -1
  // when the text is not such a time.
  static int64_t ParseTime(const std::string& text);

  static constexpr const char* kNoMaintenance = "The maintenance windows are not available.";
  static constexpr const char* kBadTime = "This field must be a UTC time such as 2026-12-09T10:00:00Z.";
  static constexpr const char* kMinutesOrEnd = "Give either minutes or an end, not both.";
  static constexpr const char* kNoElements = "Name at least one element.";
};

}  // namespace orla
