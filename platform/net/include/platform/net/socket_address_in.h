#pragma once
// An IPv4 socket address with the 16-byte layout of the system's record:
// family, port in network byte order, address in network byte order, zero
// padding. Code outside platform/ uses this instead of the system headers.
#include <cstdint>

namespace orla {

struct SocketAddressIn {
  uint16_t family;       // AF_INET once filled
  uint16_t port;         // network byte order
  uint32_t address;      // network byte order
  uint8_t zero[8];
};
static_assert(sizeof(SocketAddressIn) == 16, "an IPv4 socket address record is 16 bytes");

}  // namespace orla
