#pragma once
// An SNMP OBJECT IDENTIFIER (tag 0x06): the first two sub-identifiers
// combined into one byte (40 x first + second), the others in base 128.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpObjectId : public SnmpValue {
 public:
  // Copies `count` sub-identifiers from `ids`. When the copy cannot be
  // allocated the object holds no array (GetIds() null, GetCount() 0); the
  // holders check that and report 3001.
  SnmpObjectId(const uint32_t* ids, int32_t count);
  ~SnmpObjectId() override;

  // A value is meant to hold two sub-identifiers or more; one with fewer is
  // still encoded without reading past its array (missing ones count as 0).
  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  const uint32_t* GetIds() const { return ids_; }
  int32_t GetCount() const { return count_; }
  // False when the constructor could not copy the array.
  bool IsAllocated() const { return ids_ != nullptr || count_ == 0; }

 private:
  int32_t ContentsLength() const;

  uint32_t* ids_ = nullptr;
  int32_t count_ = 0;
};

}  // namespace orla
