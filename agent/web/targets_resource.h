#pragma once
// TargetsResource: the agent's SNMPv2c/SNMPv3 notification targets in the
// JSON API, as the notification targets page shows and changes them, with
// its rules and texts (NotificationTargetChange). Administrators only, for
// reading too, as the page (the list says which profiles go where).
//   GET    targets       {"engineId","engineBoots","v3Only","targets":[TARGET...]}
//   POST   targets       {"target": HOST:PORT, "kind", "credential"}: a
//                        community (v2c kinds) or an SNMPv3 profile name
//                        (v3 kinds). 201 TARGET when added, 200 TARGET when
//                        it replaced the target of that name (as the page
//                        does); 400 naming the field
//   DELETE targets/NAME  200 {"removed": NAME}; 404
// TARGET: {"name": HOST:PORT, "host", "port", "kind", "profile": the
// profile's name, null for a v2c kind}. A community is never answered.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class TargetsResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Add(const ApiCall& call);
  static ApiReply Remove(const ApiCall& call);
};

}  // namespace orla
