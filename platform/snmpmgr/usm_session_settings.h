#pragma once
// Puts an SNMPv3 user into net-snmp's session settings: the security name,
// level, protocol identifiers and the master keys (Ku) made from the pass
// phrases; the library localises them to the engine the session talks to.
// Only platform/snmpmgr includes this header.
#include <string>

#include "net_snmp_convert.h"
#include "platform/snmpmgr/snmp_usm_credentials.h"

namespace orla {

class UsmSessionSettings {
 public:
  // Fills `session` (already snmp_sess_init'ed, version 3); `credentials`
  // must outlive the session's opening (the user name and context are
  // pointed to, not copied). False, with *error naming the protocol or the
  // short pass phrase (never the pass phrase), when they cannot be used.
  static bool Apply(const SnmpUsmCredentials& credentials, netsnmp_session* session, std::string* error);
};

}  // namespace orla
