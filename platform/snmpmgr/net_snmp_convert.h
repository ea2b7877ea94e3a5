#pragma once
// Conversions between net-snmp's variables and the management API's
// structures, shared by the request calls and trap reception. Only
// platform/snmpmgr includes this header.

#include "net_snmp.h"

namespace orla {

class NetSnmpConvert {
 public:
  // A copy of `count` net-snmp sub-identifiers; false when out of memory or
  // a sub-identifier does not fit 32 bits (`out` then empty).
  static bool ToOid(const oid* ids, size_t count, AsnObjectIdentifier* out);
  // A copy of a received variable's value; false when out of memory (`out`
  // then ASN_NULL). Types without a slot here (SNMPv2 exceptions) become
  // ASN_NULL.
  static bool ToAsnAny(const netsnmp_variable_list* variable, AsnAny* out);
  // Name and value; false when out of memory (`out` then released).
  static bool ToVarBind(const netsnmp_variable_list* variable, SnmpVarBind* out);
  // Appends a binding to a request PDU; false when the value type cannot be
  // sent or memory runs out.
  static bool AddToPdu(netsnmp_pdu* pdu, const SnmpVarBind& binding);
};

}  // namespace orla
