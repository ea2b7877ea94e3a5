#pragma once
// The discovery of a remote SNMPv3 engine's ID on an open session, with
// every wait outside the library lock: a Get without bindings sent as no
// user at noAuthNoPriv, whose report names the engine (RFC 3414 4). Used
// by the management sessions (SnmpMgrOpenV3) and by the notifier's inform
// targets alike, so that a receiver or device that does not answer holds
// up no other thread, the trap receiver least of all. No empty user is
// made: the library sends such a probe without a user-list entry.
#include <cstdint>
#include <string>

#include "usm_exchange.h"

namespace orla {

class UsmDiscovery {
 public:
  // Asks the engine behind `handle` (opened with SNMP_FLAGS_DONT_PROBE)
  // for its ID. Empty when none came; *reason then says why (a management
  // API reason). `waiter` belongs to the session (see UsmExchange).
  static std::string EngineId(void* handle, UsmExchange::Waiter* waiter, uint32_t* reason);
  // With the library lock held: makes `engineId` the session's security
  // engine and makes its user-list entry (localizing the keys), as the
  // library does at open when the engine is known.
  static void Adopt(void* handle, const std::string& engineId);
};

}  // namespace orla
