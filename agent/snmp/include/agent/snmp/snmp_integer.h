#pragma once
// An SNMP INTEGER (tag 0x02): a signed 32-bit number in two's complement,
// most significant byte first, in the fewest bytes that keep its sign.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpInteger : public SnmpValue {
 public:
  explicit SnmpInteger(int32_t value);
  ~SnmpInteger() override = default;

  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  int32_t GetValue() const { return value_; }
  void SetValue(int32_t value) { value_ = value; }

 private:
  int32_t ContentsLength() const;

  int32_t value_;
};

}  // namespace orla
