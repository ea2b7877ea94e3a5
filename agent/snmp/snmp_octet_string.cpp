#include "agent/snmp/snmp_octet_string.h"

#include <cstdlib>
#include <cstring>

#include "ber_writer.h"

namespace orla {

SnmpOctetString::SnmpOctetString(const char* text) : SnmpValue(0x04, kOctetString) {
  SetText(text);
}

SnmpOctetString::SnmpOctetString(const uint8_t* bytes, int32_t length)
    : SnmpValue(0x04, kOctetString) {
  if (length < 0 || (bytes == nullptr && length > 0)) length = 0;
  Assign(bytes, length);
}

SnmpOctetString::~SnmpOctetString() { std::free(text_); }

bool SnmpOctetString::SetText(const char* text) {
  if (text == nullptr) text = "";
  const size_t length = std::strlen(text);
  if (length > 0x7FFFFFF0u) return false;
  return Assign(reinterpret_cast<const uint8_t*>(text), static_cast<int32_t>(length));
}

bool SnmpOctetString::Assign(const uint8_t* bytes, int32_t length) {
  auto* copy = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
  if (copy == nullptr) return false;
  if (length > 0) std::memcpy(copy, bytes, static_cast<size_t>(length));
  copy[length] = '\0';
  std::free(text_);
  text_ = copy;
  length_ = length;
  return true;
}

int32_t SnmpOctetString::EncodedLength() const { return BerWriter::TotalLength(length_); }

uint8_t* SnmpOctetString::Encode() const {
  uint8_t* contents = nullptr;
  uint8_t* buffer = BerWriter::Start(0x04, length_, &contents);
  if (buffer == nullptr) return nullptr;
  if (length_ > 0) std::memcpy(contents, text_, static_cast<size_t>(length_));
  return buffer;
}

}  // namespace orla
