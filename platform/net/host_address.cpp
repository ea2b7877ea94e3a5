#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "platform/net/host_lookup.h"
#include "platform/net/ipv4_text.h"

namespace orla {

bool HostAddress::AgentFirstIpv4(std::string* address) {
  char name[101] = {};
  if (gethostname(name, 100) != 0) return false;
  SocketAddressIn found{};
  if (!HostLookup::ResolveIPv4(name, 0, &found)) return false;
  *address = Ipv4Text::FromNetwork(Routable(found.address, InterfaceAddresses()));
  return true;
}

namespace {

bool IsLoopback(uint32_t networkAddress) { return (ntohl(networkAddress) >> 24) == 127; }

}  // namespace

uint32_t HostAddress::Routable(uint32_t resolved, const std::vector<uint32_t>& interfaces) {
  if (!IsLoopback(resolved)) return resolved;
  for (uint32_t candidate : interfaces) {
    if (candidate != 0 && !IsLoopback(candidate)) return candidate;
  }
  return resolved;
}

std::vector<uint32_t> HostAddress::InterfaceAddresses() {
  std::vector<uint32_t> addresses;
  ifaddrs* list = nullptr;
  if (getifaddrs(&list) != 0) return addresses;
  for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
    if (entry->ifa_addr == nullptr || entry->ifa_addr->sa_family != AF_INET) continue;
    if ((entry->ifa_flags & IFF_UP) == 0 || (entry->ifa_flags & IFF_LOOPBACK) != 0) continue;
    addresses.push_back(reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr.s_addr);
  }
  freeifaddrs(list);
  return addresses;
}

bool HostAddress::SourceToward(const std::string& host, int port, std::string* address) {
  SocketAddressIn peer{};
  if (!HostLookup::ResolveIPv4(host.c_str(), static_cast<uint16_t>(port), &peer)) return false;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0 &&
                  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
  close(fd);
  if (!ok) return false;
  *address = Ipv4Text::FromNetwork(local.sin_addr.s_addr);
  return true;
}

}  // namespace orla
