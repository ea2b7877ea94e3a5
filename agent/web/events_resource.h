#pragma once
// EventsResource: the agent's recent events in the JSON API, the answer of
// /KOR/events.json (EventsJsonPage) with the same query fields (element,
// severity, kind, text, from, to, after, offset, limit; EventQuery) and the
// same rows:
//   GET events   {"now","last","total","complete","offset","limit",
//                 "events":[{"seq","time","severity","kind","element",
//                 "address","trap","text"}]}
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class EventsResource {
 public:
  static ApiReply List(const ApiCall& call);
};

}  // namespace orla
