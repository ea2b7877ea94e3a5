#pragma once
// A counter of the port statistics table (connUnitPortStatTable): an OCTET
// STRING of exactly 8 octets holding a 64-bit number, most significant octet
// first (not a Counter64). The high-order bit says the device does not
// support the counter: such a value is absent, not a number; so is a value
// of any other length.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace orla {

class PortStatCounter {
 public:
  static constexpr size_t kOctets = 8;

  static std::optional<uint64_t> Decode(const uint8_t* octets, size_t length);
  // The same from the octets in hex, two digits each (FaMibReader::Cell's
  // octetsHex).
  static std::optional<uint64_t> FromHex(const std::string& octetsHex);
};

}  // namespace orla
