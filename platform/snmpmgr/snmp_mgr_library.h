#pragma once
// One-time set-up of net-snmp for the management calls and trap reception,
// and the lock around the library's process-wide state.
#include <mutex>
#include <string>

namespace orla {

class SnmpMgrLibrary {
 public:
  // Initialises net-snmp once per process (thread-safe): no configuration
  // files, no persistent state, no MIB modules (identifiers are numeric),
  // no MIB warnings.
  static void Initialize();
  // net-snmp is built without its own locking here: opening and closing
  // sessions and creating PDUs (request ids) touch process-wide state, so
  // those calls are made under this lock. Sending and waiting for an answer
  // on one session does not need it.
  static std::mutex& Mutex();
  // The net-snmp peer name of a device: "udp:HOST:PORT", an IPv6 literal
  // in brackets behind "udp6:".
  static std::string PeerName(const std::string& agentAddress, int port);
};

}  // namespace orla
