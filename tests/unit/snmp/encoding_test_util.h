#pragma once
// Helpers for comparing encodings byte for byte.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "agent/snmp/snmp_value.h"
#include "tests/support/bytes.h"

namespace orla::test {

// "02 01 7F" -> bytes.
inline std::vector<uint8_t> Hex(const std::string& text) { return FromHex(text); }

// The encoding of `value`, checked to be EncodedLength() bytes long.
inline std::vector<uint8_t> Encoded(const SnmpValue& value) {
  uint8_t* buffer = value.Encode();
  if (buffer == nullptr) return {};
  std::vector<uint8_t> bytes(buffer, buffer + value.EncodedLength());
  std::free(buffer);
  return bytes;
}

}  // namespace orla::test
