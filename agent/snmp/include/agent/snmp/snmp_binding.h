#pragma once
// A variable binding: an object-identifier name and one value, encoded as a
// SEQUENCE (tag 0x30) of the name's and the value's encodings. A binding
// that lacks its name or its value encodes as 30 00.
#include <cstdint>

#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpBinding : public SnmpValue {
 public:
  SnmpBinding();
  // Takes ownership of both (either may be null).
  SnmpBinding(SnmpValue* value, SnmpObjectId* name);
  ~SnmpBinding() override;

  // Null when a part's encoding cannot be allocated: never a partial buffer.
  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  SnmpValue* GetValue() const { return value_; }
  SnmpObjectId* GetName() const { return name_; }
  // Delete the object held before and take ownership of the new one.
  void SetValue(SnmpValue* value);
  void SetName(SnmpObjectId* name);

 private:
  int32_t ContentsLength() const;

  SnmpValue* value_ = nullptr;
  SnmpObjectId* name_ = nullptr;
};

}  // namespace orla
