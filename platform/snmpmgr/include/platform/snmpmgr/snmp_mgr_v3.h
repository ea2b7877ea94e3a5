#pragma once
// SNMPv3 management sessions: the user-based security model (USM) beside
// the community sessions of snmp_mgr.h (the user and engine records and
// the failure codes are in snmp_mgr_usm.h). A session opened here is used with
// the same SnmpMgrRequest and SnmpMgrClose; the caller sees no other
// difference, except the USM failures below and the remote engine's
// identity (SnmpMgrEngineOf).
//
// The device's engine ID is discovered at open when the caller does not
// know it yet (one unauthenticated exchange), its boots and time are
// learned with the first authenticated request. Keys are derived from the
// pass phrases by net-snmp (Ku once per pass phrase, kept in memory;
// localized once per engine).
//
// Threads: net-snmp's USM state (its user list, the engines' times, the
// message ids) is process-wide and not locked by the library. Every
// net-snmp call of a v3 session is made under the one lock the management
// calls share; waiting for a datagram is not, so a silent device holds no
// one else up.
#include <cstdint>
#include <vector>

#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/snmpmgr/snmp_mgr_usm.h"

namespace orla {

// Opens a v3 session to `agentAddress` (see SnmpMgrOpen). Discovers the
// engine ID first when `usm.engineId` is empty (a request that may take up
// to the time-out and retries). Null on failure with the reason in
// SnmpMgrGetLastError(): SNMP_MGMTAPI_TIMEOUT when discovery got no
// answer, SNMP_MGMTAPI_INVALID_SESSION for bad parameters (a pass phrase
// shorter than 8 characters, a protocol the library lacks), another code
// of the list above or a system error.
LPSNMP_MGR_SESSION SnmpMgrOpenV3(const char* agentAddress, const SnmpMgrUsm& usm, int32_t timeoutMs,
                                 int32_t retries, int port = 161);

// The remote engine as learned by `session` so far. False for a
// community session.
bool SnmpMgrEngineOf(LPSNMP_MGR_SESSION session, SnmpMgrEngine* engine);

// The users this process's own engine knows (the SNMPv3 informs it
// receives are sent to it as one of them): replaces those set before. The
// first of two with the same user name counts. They are also the only
// users whose SNMPv3 traps and informs the trap receiver takes, each at
// the lowest security level given for its name or above. Key derivation runs outside
// the library lock. False when a user's protocols or pass phrases cannot be
// used (the others are set).
bool SnmpMgrSetLocalUsers(const std::vector<SnmpMgrUsm>& users);

// The words for a USM failure code ("Authentication failed", "Unknown
// user", "Not in time window", ...); null for any other code.
const char* SnmpMgrUsmErrorText(uint32_t code);

}  // namespace orla
