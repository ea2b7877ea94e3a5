#include "agent/snmp/snmp_value.h"

namespace orla {

uint8_t* SnmpValue::Encode() const { return nullptr; }

int32_t SnmpValue::EncodedLength() const { return -1; }

}  // namespace orla
