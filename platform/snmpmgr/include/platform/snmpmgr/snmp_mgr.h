#pragma once
// The SNMP management API calls, on net-snmp's single-session API.
//
// A management session talks SNMPv1 with one community to one agent at the
// UDP port named by KORAGENT_SNMP_PORT (default 161). Each session has its own
// socket; one session must not be used by two threads at once (SnmpSession
// serialises its own use with a lock), different sessions may run requests at
// the same time.
//
// Trap reception (SnmpMgrTrapListen, SnmpMgrGetTrap) lives beside these calls
// in its own files of this folder.
#include <cstdint>

#include "platform/snmpmgr/snmp_api.h"

namespace orla {

// An open management session. Opaque to callers.
struct SnmpMgrSession;
using LPSNMP_MGR_SESSION = SnmpMgrSession*;

// Opens a session to `agentAddress` (IPv4 address or host name) with
// `community`; `timeoutMs` is the time-out of one try in milliseconds,
// `retries` how many times a request is sent again after a time-out.
// `port` is the device's UDP port (the agent's KORAGENT_SNMP_PORT setting).
// Returns null when no session can be had (empty or unresolvable address,
// port outside 1 to 65535, no socket); SnmpMgrGetLastError() then tells why.
LPSNMP_MGR_SESSION SnmpMgrOpen(const char* agentAddress, const char* community,
                               int32_t timeoutMs, int32_t retries, int port = 161);

// Closes a session from SnmpMgrOpen; null is ignored. Always true.
bool SnmpMgrClose(LPSNMP_MGR_SESSION session);

// Converts a dotted numeric object identifier (".1.3.6.1.2.1.1.5.0"; the
// leading point may be left out) into `oid`, whose array the caller releases
// with SnmpUtilOidFree. Names, empty parts, signs, other characters and
// sub-identifiers above 4294967295 are refused: false, `oid` left empty.
bool SnmpMgrStrToOid(const char* text, AsnObjectIdentifier* oid);

// Sends one request (ASN_RFC1157_GETREQUEST, ASN_RFC1157_GETNEXTREQUEST or
// ASN_RFC1157_SETREQUEST) with the bindings of `list` and waits for the
// answer, trying 1 + retries times.
//
// True when an answer came: `*errorStatus` and `*errorIndex` hold its error
// status and index; with status 0 the bindings of `list` are replaced by the
// answer's (names and values, allocated with SnmpUtilMemAlloc). With another
// status the list is left as it was.
// False when no answer came: SnmpMgrGetLastError() is SNMP_MGMTAPI_TIMEOUT
// (40) after the last try timed out, otherwise another reason (a system error
// number such as EACCES from sending, or SNMP_MGMTAPI_INVALID_SESSION,
// SNMP_MGMTAPI_INVALID_BUFFER for bad arguments). The list is left as it was.
bool SnmpMgrRequest(LPSNMP_MGR_SESSION session, uint8_t requestType, SnmpVarBindList* list,
                    int32_t* errorStatus, int32_t* errorIndex);

// A pacer bounds how fast a thread's management requests send: while one is
// set on a thread, SnmpMgrRequest on that thread calls BeforeSend before
// every datagram it sends, each try of an SNMPv1 request on its own (the
// tries are then made here, one at a time, instead of by the library), and
// for an SNMPv3 request, whose exchange the library runs, twice its tries
// at once before it starts (engine discovery and the request itself). A
// pacer may wait; when it answers false nothing more is sent and the
// request fails with ECANCELED.
class SnmpMgrPacer {
 public:
  virtual ~SnmpMgrPacer() = default;
  virtual bool BeforeSend() = 0;
};
// Sets the calling thread's pacer (null: none) and answers the one before.
SnmpMgrPacer* SnmpMgrSetPacer(SnmpMgrPacer* pacer);

// The reason the calling thread's last failed management call failed.
uint32_t SnmpMgrGetLastError();
void SnmpMgrSetLastError(uint32_t error);

}  // namespace orla
