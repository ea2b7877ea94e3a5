#pragma once
// The SNMP engine of this process, as SNMPv3 sees it: its engine ID and
// boots. The agent keeps both in its own files and hands them in once at
// start, before any SNMPv3 session opens; the library then uses them as the
// authoritative engine of the SNMPv3 traps it sends (the receiver knows the
// sender's user by this engine ID) and answers engine discovery with them.
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

// Sets the engine ID (5 to 32 octets) and boots (1 to 2147483647) of this
// process (its engine time counts from the library's start). False, with *error, when the ID
// or the boots are out of range or the library refuses them.
bool SnmpMgrSetLocalEngine(const std::vector<uint8_t>& engineId, uint32_t boots, std::string* error);

// A new engine ID in the format of RFC 3411: the enterprise number with its
// top bit set, format 5 (octets the administrator assigns), then eight
// random octets. Empty when the system gives no random octets.
std::vector<uint8_t> SnmpMgrNewEngineId(uint32_t enterprise);

// What the library uses now (after SnmpMgrSetLocalEngine: what was set).
std::vector<uint8_t> SnmpMgrLocalEngineId();
uint32_t SnmpMgrLocalEngineBoots();
// Seconds since the engine was set.
uint32_t SnmpMgrLocalEngineTime();

}  // namespace orla
