#pragma once
// An SNMP OCTET STRING (tag 0x04).
//
// Built from a text, it holds a zero-terminated copy and encodes the bytes up
// to the terminating zero. Built from bytes and a length (the trap listener
// does this for received strings, which may hold zero bytes), it encodes
// exactly those bytes; its copy is zero-terminated too, so GetText() is
// always a C text.
#include <cstdint>

#include "agent/snmp/snmp_value.h"

namespace orla {

class SnmpOctetString : public SnmpValue {
 public:
  // Copies `text` (null counts as the empty text).
  explicit SnmpOctetString(const char* text);
  // Copies `length` bytes from `bytes`.
  SnmpOctetString(const uint8_t* bytes, int32_t length);
  ~SnmpOctetString() override;

  uint8_t* Encode() const override;
  int32_t EncodedLength() const override;

  // The copy; null only when the constructor could not allocate it.
  const char* GetText() const { return text_; }
  // Replaces the text by a copy of `text`, freeing the old copy. False when
  // the copy cannot be allocated; the old text then stays.
  bool SetText(const char* text);
  // Number of bytes encoded.
  int32_t GetLength() const { return length_; }
  bool IsAllocated() const { return text_ != nullptr; }

 private:
  bool Assign(const uint8_t* bytes, int32_t length);

  char* text_ = nullptr;
  int32_t length_ = 0;
};

}  // namespace orla
