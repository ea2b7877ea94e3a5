#pragma once
// One request and its answer on an SNMPv3 session, with every net-snmp
// call (send, read, the retry timer, the callback that sees the answer)
// made under SnmpMgrLibrary::Mutex() and the wait for the socket made
// without it. net-snmp's USM state (the user list, the engines' boots and
// times, which it reads and writes while it encodes and decodes) is
// process-wide and unlocked, so no two threads may be inside the library's
// v3 code at once; a device that does not answer must still hold no one
// else up, so the waiting happens outside the lock.
//
// A report in answer (unknown engine ID, unknown user, wrong digest, not in
// time window after the library's own resend, ...) ends the exchange with
// the report's kind; the engine ID the report names is handed back, which
// is how a device's engine ID is discovered.

#include <cstdint>
#include <string>

#include "net_snmp.h"

namespace orla {

class UsmExchange {
 public:
  struct Result {
    int status = STAT_ERROR;          // STAT_SUCCESS, STAT_TIMEOUT or STAT_ERROR
    netsnmp_pdu* response = nullptr;  // with STAT_SUCCESS; the caller frees it
    int snmpError = 0;                // SNMPERR_... with STAT_ERROR (a report's kind)
    int systemError = 0;              // errno of a failed send
    std::string engineId;             // the authoritative engine ID of the answer or report

    // The failure as a management API reason (SnmpMgrGetLastError):
    // SNMP_MGMTAPI_TIMEOUT, an SNMP_MGMTAPI_USM_... code or a system error.
    uint32_t Reason() const;
  };

  // Where the library's callback leaves the answer; owned by the session.
  struct Waiter {
    bool done = false;
    Result result;
  };

  // Sends `pdu` on `handle` (taking it: it is freed on every path) and waits
  // for the answer, resending after each time-out as the session says.
  // `waiter` belongs to the session and must live until it is closed.
  static Result Run(void* handle, netsnmp_pdu* pdu, Waiter* waiter);
};

}  // namespace orla
