#pragma once
// An SNMP value whose encoding can never be allocated, as when memory runs
// out: Encode() gives no buffer although the length is known.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla::test {

class UnencodableValue : public SnmpValue {
 public:
  uint8_t* Encode() const override { return nullptr; }
  int32_t EncodedLength() const override { return 3; }
};

}  // namespace orla::test
