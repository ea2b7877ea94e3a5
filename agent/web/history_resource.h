#pragma once
// HistoryResource: an element's history in the JSON API, read from its
// history file (ElementHistory), for the charts and for scripts:
//   GET elements/NAME/history?range=day|week|month|year   (day when absent)
//   200 {"element":NAME,"range":RANGE,"step":MS,"timestamps":[MS...],
//        "series":[{"name","part","index","kind","unit","points":[N|null...]}]}
// Each timestamp ends its point's interval (ms since 1970 UTC); a point is
// null where the history has a gap. An element without history yet answers
// empty arrays. 400 for another range, 404 when no element has the name,
// 503 when the agent keeps no history (KORAGENT_HISTORY=off).
#include <string>

#include "agent/history/history_reading.h"
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class HistoryResource {
 public:
  static ApiReply Get(const ApiCall& call);
  // The answer's body for `reading`.
  static std::string Json(const std::string& name, const std::string& range, const HistoryReading& reading);

  static constexpr const char* kBadRange = "This field is \"day\", \"week\", \"month\" or \"year\".";
  static constexpr const char* kHistoryOff = "The agent keeps no history (KORAGENT_HISTORY=off).";
};

}  // namespace orla
