#pragma once
// AgentResource: the agent itself in the JSON API.
//   GET agent   {"version": the agent's revision, "pollingInterval": seconds,
//                "elements": how many it manages, "counts": ElementCounts}
// all from one snapshot of the registry.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class AgentResource {
 public:
  static ApiReply Get(const ApiCall& call);
};

}  // namespace orla
