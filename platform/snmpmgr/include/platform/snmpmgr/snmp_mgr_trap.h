#pragma once
// Trap reception calls of the SNMP management API, on the process's one
// TrapReceiver (platform/snmpmgr/trap_receiver.h).
//
// SnmpMgrTrapListen starts receiving on a net-snmp transport address (the
// agent passes its KORAGENT_TRAP_LISTEN setting, "udp:162" by default) and
// hands out the event that is set while traps are queued; SnmpMgrGetTrap
// takes them one by one.
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/snmpmgr/snmp_api.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

// The network address of a trap's agent: four octets.
using AsnNetworkAddress = AsnOctetString;

// Registers this process for trap delivery on `listenAddress` and sets `*trapAvailable` to the
// event that is set when traps are queued (it lives until the process ends).
// Only one registration per process: a second call answers false with
// SnmpMgrGetLastError() SNMP_MGMTAPI_TRAP_DUPINIT (43) but still hands out
// the event. When the receiver cannot be started, false with the system
// error number (EADDRINUSE, EACCES, EINVAL for an unusable address,
// EPROTONOSUPPORT for a transport other than UDP, ...) and
// `*trapAvailable` null.
bool SnmpMgrTrapListen(const std::string& listenAddress, ManualResetEvent** trapAvailable);

// Takes the oldest queued trap. Its enterprise identifier, agent address
// (four octets) and bindings are newly allocated with SnmpUtilMemAlloc: the
// caller releases them with SnmpUtilOidFree, SnmpUtilMemFree (the address's
// stream) and SnmpUtilVarBindListFree. When no trap is queued: false with
// SnmpMgrGetLastError() SNMP_MGMTAPI_NOTRAPS (44) and every output empty.
bool SnmpMgrGetTrap(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress, int32_t* genericTrap,
                    int32_t* specificTrap, uint32_t* timeStamp, SnmpVarBindList* variableBindings);
// The same, and the time the trap's datagram arrived in `*arrival`.
bool SnmpMgrGetTrap(AsnObjectIdentifier* enterprise, AsnNetworkAddress* agentAddress, int32_t* genericTrap,
                    int32_t* specificTrap, uint32_t* timeStamp, SnmpVarBindList* variableBindings,
                    std::chrono::system_clock::time_point* arrival);

// From now on, whether the receiver refuses SNMPv1 and SNMPv2c traps and
// informs (counted as the drop reason "v3_only"); also before listening.
void SnmpMgrTrapSetV3Only(bool on);

// Who may speak for which element, asked on the receiving thread for every
// SNMPv3 notification and every SNMPv1/SNMPv2c inform before it is queued
// or acknowledged: `address` the element's four octets (snmpTrapAddress.0's
// first, then the datagram's source), `user` the SNMPv3 user it was
// authenticated as and `level` its security level (0 noAuthNoPriv, 1
// authNoPriv, 2 authPriv), or `user` empty for a community inform. An
// SNMPv3 notification no address is admitted for is refused
// ("not_this_elements_profile"); such an inform is not acknowledged
// ("not_managed"). Also before listening.
using SnmpMgrTrapAdmission = std::function<bool(const uint8_t address[4], const std::string& user, int level)>;
void SnmpMgrTrapSetAdmission(SnmpMgrTrapAdmission admission);

// Datagrams the process's receiver has read, and those it dropped (not a
// well-formed trap, or the queue was full); 0 before listening.
uint64_t SnmpMgrTrapsReceived();
uint64_t SnmpMgrTrapsDropped();
// Of those dropped, the traps lost because the queue or the socket's buffer
// was full (or that carried too many bindings).
uint64_t SnmpMgrTrapsOverflowed();
// Of those dropped, the SNMPv3 messages the user-based security model
// refused (unknown user or engine, wrong digest, not decryptable, outside
// the time window).
uint64_t SnmpMgrTrapsRefused();
// Of those, by reason: "unknown_user", "unknown_engine", "wrong_level",
// "wrong_key", "not_in_time_window", "not_this_elements_profile", "other";
// each listed, also at 0.
std::vector<std::pair<std::string, uint64_t>> SnmpMgrTrapRefusals();
// Every drop by its reason, each reason named as the metrics name it and
// listed also at 0: "source_share" (a source past its share of the queue),
// "queue_full", "socket_buffer", "too_many_bindings" (the overflow above),
// "truncated" and "malformed" (not a well-formed trap), "v3_only" (SNMPv1
// or SNMPv2c refused while only SNMPv3 is accepted), "not_managed" (an
// inform from an address that is no managed element, not acknowledged),
// "repeated_inform" (an inform taken already, acknowledged again).
std::vector<std::pair<std::string, uint64_t>> SnmpMgrTrapDrops();

}  // namespace orla
