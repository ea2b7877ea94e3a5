#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>

#include "platform/net/host_lookup.h"

namespace orla {

bool HostAddress::AgentFirstIpv4(std::string* address) {
  char name[101] = {};
  if (gethostname(name, 100) != 0) return false;
  SocketAddressIn found{};
  if (!HostLookup::ResolveIPv4(name, 0, &found)) return false;
  *address = HostLookup::ToText(found.address);
  return true;
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
  *address = HostLookup::ToText(local.sin_addr.s_addr);
  return true;
}

}  // namespace orla
