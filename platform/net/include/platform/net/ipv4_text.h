#pragma once
// Ipv4Text: the one way an IPv4 address is written, "a.b.c.d" in decimal,
// whether it comes as four bytes (a device's IpAddress value, a trap's
// agent address), as four ints (a TrapMessage's agent address) or in network
// byte order (a socket address).
#include <cstdint>
#include <string>

namespace orla {

class Ipv4Text {
 public:
  static std::string Dotted(const uint8_t octets[4]);
  // Each int is taken as one byte (its low eight bits).
  static std::string Dotted(const int32_t octets[4]);
  static std::string FromNetwork(uint32_t networkAddress);
};

}  // namespace orla
