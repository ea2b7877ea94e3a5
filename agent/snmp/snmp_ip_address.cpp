#include "agent/snmp/snmp_ip_address.h"

#include "ber_writer.h"

namespace orla {

SnmpIpAddress::SnmpIpAddress(const int32_t address[4]) : SnmpValue(0x40, kIpAddress) {
  for (int i = 0; i < 4; ++i) address_[i] = address[i];
}

int32_t SnmpIpAddress::EncodedLength() const { return 6; }

uint8_t* SnmpIpAddress::Encode() const {
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x40, 4, &contents);
  if (buffer == nullptr) return nullptr;
  for (int i = 0; i < 4; ++i) contents[i] = static_cast<uint8_t>(address_[i] & 0xFF);
  return buffer;
}

}  // namespace orla
