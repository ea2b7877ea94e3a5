#include "agent/snmp/snmp_integer.h"

#include "ber_writer.h"

namespace orla {

SnmpInteger::SnmpInteger(int32_t value) : SnmpValue(0x02, kInteger), value_(value) {}

// The fewest bytes of two's complement that keep the sign: a leading byte is
// dropped while it is 0x00 (or 0xFF) and the next byte's top bit agrees.
int32_t SnmpInteger::ContentsLength() const {
  int32_t bytes = 4;
  const uint32_t v = static_cast<uint32_t>(value_);
  while (bytes > 1) {
    const uint32_t top = (v >> (8 * (bytes - 1))) & 0xFF;
    const uint32_t nextTopBit = (v >> (8 * (bytes - 1) - 1)) & 1;
    if ((top == 0x00 && nextTopBit == 0) || (top == 0xFF && nextTopBit == 1)) {
      --bytes;
    } else {
      break;
    }
  }
  return bytes;
}

int32_t SnmpInteger::EncodedLength() const { return BerWriter::TotalLength(ContentsLength()); }

uint8_t* SnmpInteger::Encode() const {
  const int32_t n = ContentsLength();
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x02, n, &contents);
  if (buffer == nullptr) return nullptr;
  const uint32_t v = static_cast<uint32_t>(value_);
  for (int32_t i = 0; i < n; ++i) contents[i] = static_cast<uint8_t>(v >> (8 * (n - 1 - i)));
  return buffer;
}

}  // namespace orla
