#pragma once
// SnmpV3AssignmentsResource: which SNMPv3 profile the agent uses for which
// devices, in the JSON API, as the profiles page assigns and unassigns
// (SnmpV3CredentialEdit through SnmpV3Change). TARGET is "default", one
// IPv4 address or a range ADDRESS/BITS (its slash as it stands or as %2F);
// the most specific assignment covering a device's address wins.
// Administrators only, for reading too, as the page.
//   GET    snmpv3/assignments         {"assignments":[{"target","profile"}...]}
//   PUT    snmpv3/assignments/TARGET  {"profile": NAME}: assigns the profile,
//                                     replacing what the target had; 200
//                                     {"target","profile"}; 400 naming
//                                     "profile" or "target"
//   DELETE snmpv3/assignments/TARGET  200 {"removed": TARGET}; 400 for a
//                                     text that is no target; 404 when
//                                     nothing is assigned to it
#include "api_call.h"
#include "api_reply.h"

namespace orla {

class SnmpV3AssignmentsResource {
 public:
  static ApiReply List(const ApiCall& call);
  static ApiReply Assign(const ApiCall& call);
  static ApiReply Unassign(const ApiCall& call);
};

}  // namespace orla
