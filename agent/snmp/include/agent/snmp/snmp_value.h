#pragma once
// Base of the agent's SNMP value classes. Each value writes itself in BER
// (definite-length form, as SNMPv1 uses it). Values are created on the heap
// and owned by exactly one holder (a binding, a trap message, a list).
//
// The field order and the order of the virtual operations are part of the
// plug-in contract (plug-ins receive trap messages made of these values).
#include <cstdint>

#include "agent/core/root_object.h"

namespace orla {

class SnmpValue : public RootObject {
 public:
  // Which class an object is.
  enum Kind : int32_t {
    kInteger = 0,
    kIpAddress = 1,
    kObjectId = 2,
    kOctetString = 3,
    kTimeTicks = 4,
  };

  SnmpValue() = default;
  ~SnmpValue() override = default;
  SnmpValue(const SnmpValue&) = delete;
  SnmpValue& operator=(const SnmpValue&) = delete;

  // A newly allocated buffer holding the complete encoding (tag, length
  // octets, contents), EncodedLength() bytes long, for the caller to release
  // with free(); null when it cannot be allocated. The base has no encoding.
  virtual uint8_t* Encode() const;
  // The number of bytes Encode() writes; -1 for the base.
  virtual int32_t EncodedLength() const;

  uint8_t GetTag() const { return tag_; }
  int32_t GetKind() const { return kind_; }

 protected:
  SnmpValue(uint8_t tag, int32_t kind) : tag_(tag), kind_(kind) {}

  uint8_t tag_ = 0;
  int32_t kind_ = -1;
};

}  // namespace orla
