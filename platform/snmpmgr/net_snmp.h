#pragma once
// net-snmp's headers for the files of this folder, followed by the
// management API's. net-snmp's must come first: some of their type macros
// have the same names (and values) as the management API's constants,
// which take over from here. Only platform/snmpmgr includes this header.
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/library/large_fd_set.h>

#undef ASN_INTEGER
#undef ASN_BITS
#undef ASN_NULL
#undef ASN_SEQUENCE
#undef ASN_IPADDRESS
#undef ASN_TIMETICKS
#undef ASN_OPAQUE
#undef ASN_COUNTER64

#include "platform/snmpmgr/snmp_api.h"
