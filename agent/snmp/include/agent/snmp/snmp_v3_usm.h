#pragma once
// An SNMPv3 profile of the agent's credentials in the management API's
// terms (SnmpMgrUsm), for polling sessions and notification targets alike.
// The engine ID is left empty: the caller knows whether it has one.
#include "agent/core/snmp_v3_profile.h"
#include "platform/snmpmgr/snmp_mgr_usm.h"

namespace orla {

class SnmpV3Usm {
 public:
  static SnmpMgrUsm Of(const SnmpV3Profile& profile);
};

}  // namespace orla
