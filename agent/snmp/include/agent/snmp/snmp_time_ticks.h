#pragma once
// An SNMP TimeTicks value (tag 0x43): hundredths of a second, unsigned 32-bit,
// most significant byte first in the fewest bytes, with a leading zero byte
// when the first byte would have its top bit set.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpTimeTicks : public SnmpValue {
 public:
  explicit SnmpTimeTicks(uint32_t value);
  ~SnmpTimeTicks() override = default;

  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  uint32_t GetValue() const { return value_; }
  void SetValue(uint32_t value) { value_ = value; }

 private:
  int32_t ContentsLength() const;

  uint32_t value_;
};

}  // namespace orla
