#pragma once
// What an LPSNMP_MGR_SESSION points to: net-snmp's single-session handle,
// and whether the session speaks SNMPv3 (its library calls then run under
// SnmpMgrLibrary::Mutex(), see UsmExchange).
#include "usm_exchange.h"

namespace orla {

struct SnmpMgrSession {
  void* handle = nullptr;  // from snmp_sess_open
  bool v3 = false;
  UsmExchange::Waiter waiter;  // of the v3 exchange in progress
};

}  // namespace orla
