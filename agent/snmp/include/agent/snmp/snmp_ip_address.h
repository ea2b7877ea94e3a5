#pragma once
// An SNMP IpAddress (tag 0x40): four octets, each held in a 32-bit integer
// in address order; only the low 8 bits of each are encoded.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpIpAddress : public SnmpValue {
 public:
  // Copies the four integers of `address`.
  explicit SnmpIpAddress(const int32_t address[4]);
  ~SnmpIpAddress() override = default;

  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  // The address of the four integers, owned by the object.
  const int32_t* GetAddress() const { return address_; }

 private:
  int32_t address_[4];
};

}  // namespace orla
