#include "agent/snmp/snmp_time_ticks.h"

#include "ber_writer.h"

namespace orla {

SnmpTimeTicks::SnmpTimeTicks(uint32_t value) : SnmpValue(0x43, kTimeTicks), value_(value) {}

int32_t SnmpTimeTicks::ContentsLength() const {
  int32_t bytes = 1;
  for (uint32_t rest = value_ >> 8; rest != 0; rest >>= 8) ++bytes;
  const uint32_t first = value_ >> (8 * (bytes - 1));
  return (first & 0x80) != 0 ? bytes + 1 : bytes;
}

int32_t SnmpTimeTicks::EncodedLength() const { return BerWriter::TotalLength(ContentsLength()); }

uint8_t* SnmpTimeTicks::Encode() const {
  const int32_t n = ContentsLength();
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x43, n, &contents);
  if (buffer == nullptr) return nullptr;
  // Bytes beyond the value's four are the leading zero.
  for (int32_t i = 0; i < n; ++i) {
    const int32_t shift = 8 * (n - 1 - i);
    contents[i] = shift >= 32 ? 0 : static_cast<uint8_t>(value_ >> shift);
  }
  return buffer;
}

}  // namespace orla
