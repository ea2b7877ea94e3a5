#pragma once
// The SNMP management API's structures and constants, and the utility calls
// that allocate and release them. The agent and the device plug-ins use these
// types for Get/Set requests; platform/snmpmgr fills them from net-snmp.
//
// The constants keep the management API's names. Some of them (ASN_INTEGER,
// ASN_NULL, ...) are also macros in net-snmp's headers, with the same values:
// platform code that includes both includes net-snmp first and then
// "platform/snmpmgr/net_snmp_convert.h", which lifts those macros.
#include <cstddef>
#include <cstdint>

namespace orla {

// ASN.1 / SNMP value types (BER tags).
inline constexpr uint8_t ASN_INTEGER = 0x02;
inline constexpr uint8_t ASN_INTEGER32 = 0x02;
inline constexpr uint8_t ASN_BITS = 0x03;
inline constexpr uint8_t ASN_OCTETSTRING = 0x04;
inline constexpr uint8_t ASN_NULL = 0x05;
inline constexpr uint8_t ASN_OBJECTIDENTIFIER = 0x06;
inline constexpr uint8_t ASN_SEQUENCE = 0x30;
inline constexpr uint8_t ASN_SEQUENCEOF = 0x30;
inline constexpr uint8_t ASN_IPADDRESS = 0x40;
inline constexpr uint8_t ASN_COUNTER32 = 0x41;
inline constexpr uint8_t ASN_GAUGE32 = 0x42;
inline constexpr uint8_t ASN_TIMETICKS = 0x43;
inline constexpr uint8_t ASN_OPAQUE = 0x44;
inline constexpr uint8_t ASN_COUNTER64 = 0x46;
inline constexpr uint8_t ASN_UNSIGNED32 = 0x47;

// PDU types.
inline constexpr uint8_t ASN_RFC1157_GETREQUEST = 0xA0;
inline constexpr uint8_t ASN_RFC1157_GETNEXTREQUEST = 0xA1;
inline constexpr uint8_t ASN_RFC1157_GETRESPONSE = 0xA2;
inline constexpr uint8_t ASN_RFC1157_SETREQUEST = 0xA3;
inline constexpr uint8_t ASN_RFC1157_TRAP = 0xA4;

// Error status of an answer (SNMPv1).
inline constexpr int32_t SNMP_ERRORSTATUS_NOERROR = 0;
inline constexpr int32_t SNMP_ERRORSTATUS_TOOBIG = 1;
inline constexpr int32_t SNMP_ERRORSTATUS_NOSUCHNAME = 2;
inline constexpr int32_t SNMP_ERRORSTATUS_BADVALUE = 3;
inline constexpr int32_t SNMP_ERRORSTATUS_READONLY = 4;
inline constexpr int32_t SNMP_ERRORSTATUS_GENERR = 5;

// Generic trap numbers (SNMPv1).
inline constexpr int32_t SNMP_GENERICTRAP_COLDSTART = 0;
inline constexpr int32_t SNMP_GENERICTRAP_WARMSTART = 1;
inline constexpr int32_t SNMP_GENERICTRAP_LINKDOWN = 2;
inline constexpr int32_t SNMP_GENERICTRAP_LINKUP = 3;
inline constexpr int32_t SNMP_GENERICTRAP_AUTHFAILURE = 4;
inline constexpr int32_t SNMP_GENERICTRAP_EGPNEIGHLOSS = 5;
inline constexpr int32_t SNMP_GENERICTRAP_ENTERSPECIFIC = 6;

// Reasons a management call failed, read with SnmpMgrGetLastError().
inline constexpr uint32_t SNMP_MGMTAPI_TIMEOUT = 40;
inline constexpr uint32_t SNMP_MGMTAPI_SELECT_FDERRORS = 41;
inline constexpr uint32_t SNMP_MGMTAPI_TRAP_ERRORS = 42;
inline constexpr uint32_t SNMP_MGMTAPI_TRAP_DUPINIT = 43;
inline constexpr uint32_t SNMP_MGMTAPI_NOTRAPS = 44;
inline constexpr uint32_t SNMP_MGMTAPI_AGAIN = 45;
inline constexpr uint32_t SNMP_MGMTAPI_INVALID_CTL = 46;
inline constexpr uint32_t SNMP_MGMTAPI_INVALID_SESSION = 47;
inline constexpr uint32_t SNMP_MGMTAPI_INVALID_BUFFER = 48;

// An object identifier: `idLength` sub-identifiers in `ids` (heap memory
// from SnmpUtilMemAlloc, released by SnmpUtilOidFree).
struct AsnObjectIdentifier {
  uint32_t idLength;
  uint32_t* ids;
};
using AsnObjectName = AsnObjectIdentifier;

// Octet strings, IP addresses and opaque values. `dynamic` is true when
// `stream` is heap memory from SnmpUtilMemAlloc that the value owns.
struct AsnOctetString {
  uint8_t* stream;
  uint32_t length;
  bool dynamic;
};

struct AsnCounter64 {
  uint32_t lowPart;
  uint32_t highPart;
};

// One value of any SNMP type; `asnType` says which union member is valid.
struct AsnAny {
  uint8_t asnType;
  union {
    int32_t number;              // ASN_INTEGER
    uint32_t unsigned32;         // ASN_UNSIGNED32
    AsnCounter64 counter64;      // ASN_COUNTER64
    AsnOctetString string;       // ASN_OCTETSTRING
    AsnOctetString bits;         // ASN_BITS
    AsnObjectIdentifier object;  // ASN_OBJECTIDENTIFIER
    AsnOctetString sequence;     // ASN_SEQUENCE
    AsnOctetString address;      // ASN_IPADDRESS
    uint32_t counter;            // ASN_COUNTER32
    uint32_t gauge;              // ASN_GAUGE32
    uint32_t ticks;              // ASN_TIMETICKS
    AsnOctetString arbitrary;    // ASN_OPAQUE
  } asnValue;
};
using AsnObjectSyntax = AsnAny;

struct SnmpVarBind {
  AsnObjectName name;
  AsnObjectSyntax value;
};

struct SnmpVarBindList {
  SnmpVarBind* list;
  uint32_t len;
};

// Zero-filled heap memory that the release calls below can free; null when
// the allocation fails (errno tells why). A request for 0 bytes gets 1.
void* SnmpUtilMemAlloc(size_t bytes);
// Grows or shrinks a block from SnmpUtilMemAlloc; null on failure (the old
// block is then untouched).
void* SnmpUtilMemReAlloc(void* memory, size_t bytes);
void SnmpUtilMemFree(void* memory);

// Releases the sub-identifier array and clears the identifier.
void SnmpUtilOidFree(AsnObjectIdentifier* oid);
// Copies `source` into `destination` (new array); false when out of memory.
bool SnmpUtilOidCpy(AsnObjectIdentifier* destination, const AsnObjectIdentifier* source);
// Releases what a value owns (string streams marked dynamic, identifier
// arrays) and sets its type to ASN_NULL.
void SnmpUtilAsnAnyFree(AsnAny* any);
// Releases a binding's name and value.
void SnmpUtilVarBindFree(SnmpVarBind* binding);
// Releases every binding, their names and values, and the array; the list is
// left empty (list null, len 0). Safe on an empty or already freed list.
void SnmpUtilVarBindListFree(SnmpVarBindList* list);

}  // namespace orla
