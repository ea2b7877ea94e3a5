#pragma once
// Host name and address lookups with getaddrinfo (thread-safe).
#include <cstdint>
#include <string>

#include "platform/net/socket_address_in.h"

namespace orla {

class HostLookup {
 public:
  // Resolves `host` (a dotted IPv4 address or a host name) to its first IPv4
  // address and fills `address` (cleared first; family AF_INET, the given
  // port in network byte order). False when the host cannot be resolved;
  // `address` is then all zero.
  static bool ResolveIPv4(const char* host, uint16_t port, SocketAddressIn* address);
};

}  // namespace orla
