#pragma once
// SnmpV3ProfilesResource: the agent's SNMPv3 profiles in the JSON API, as
// the profiles page lists, adds and removes them, with korsnmpv3's checks
// and texts (SnmpV3CredentialEdit through SnmpV3Change). Administrators
// only, for reading too, as the page.
//   GET    snmpv3/profiles       {"profiles":[PROFILE...]}
//   POST   snmpv3/profiles       {"name","user","level","auth",
//                                "authPassPhrase","priv","privPassPhrase",
//                                "context"} ("name" and "level" required;
//                                "auth"/"priv" absent or "" for none): 201
//                                PROFILE; 400 naming the field, 409 when a
//                                profile has the name
//   DELETE snmpv3/profiles/NAME  200 {"removed": NAME}; 404; 409 while an
//                                assignment names it
// PROFILE: {"name","user","level","auth","priv","context","assignedTo":
// [TARGET...]}, "auth" and "priv" null for none. No pass phrase is ever
// answered, logged or written into an event.
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class SnmpV3ProfilesResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Add(const ApiCall& call);
  static ApiReply Remove(const ApiCall& call);
};

}  // namespace orla
