#include "platform/net/host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstring>

namespace orla {

static_assert(sizeof(sockaddr_in) == sizeof(SocketAddressIn), "layout of the IPv4 socket address");

bool HostLookup::ResolveIPv4(const char* host, uint16_t port, SocketAddressIn* address) {
  std::memset(address, 0, sizeof(*address));
  if (host == nullptr || *host == '\0') return false;
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  bool ok = false;
  for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
    if (entry->ai_family == AF_INET && entry->ai_addrlen >= sizeof(sockaddr_in)) {
      const auto* in = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
      address->family = AF_INET;
      address->port = htons(port);
      address->address = in->sin_addr.s_addr;
      ok = true;
      break;
    }
  }
  freeaddrinfo(found);
  return ok;
}

}  // namespace orla
