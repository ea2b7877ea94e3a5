#include "plugins/famib_core/port_stat_counter.h"

#include <cctype>

namespace orla {

std::optional<uint64_t> PortStatCounter::Decode(const uint8_t* octets, size_t length) {
  if (octets == nullptr || length != kOctets) return std::nullopt;
  if ((octets[0] & 0x80) != 0) return std::nullopt;  // not supported by the device
  uint64_t value = 0;
  for (size_t i = 0; i < kOctets; ++i) value = (value << 8) | octets[i];
  return value;
}

std::optional<uint64_t> PortStatCounter::FromHex(const std::string& octetsHex) {
  if (octetsHex.size() != 2 * kOctets) return std::nullopt;
  uint8_t octets[kOctets] = {};
  for (size_t i = 0; i < kOctets; ++i) {
    uint8_t octet = 0;
    for (size_t j = 0; j < 2; ++j) {
      const char c = octetsHex[2 * i + j];
      if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
      const int digit = std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::tolower(c) - 'a' + 10;
      octet = static_cast<uint8_t>(octet * 16 + digit);
    }
    octets[i] = octet;
  }
  return Decode(octets, kOctets);
}

}  // namespace orla
