#include "platform/net/host_address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

std::string Dotted(const in_addr& in) {
  const auto* b = reinterpret_cast<const uint8_t*>(&in.s_addr);
  return StringPrintf("%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
}

// The first IPv4 address of `host`; false when it does not resolve.
bool ResolveIpv4(const char* host, in_addr* out) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* result = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &result) != 0 || result == nullptr) return false;
  *out = reinterpret_cast<const sockaddr_in*>(result->ai_addr)->sin_addr;
  freeaddrinfo(result);
  return true;
}

}  // namespace

bool HostAddress::AgentFirstIpv4(std::string* address) {
  char name[101] = {};
  if (gethostname(name, 100) != 0) return false;
  in_addr in{};
  if (!ResolveIpv4(name, &in)) return false;
  *address = Dotted(in);
  return true;
}

bool HostAddress::SourceToward(const std::string& host, int port, std::string* address) {
  in_addr peer{};
  if (!ResolveIpv4(host.c_str(), &peer)) return false;
  const int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(static_cast<uint16_t>(port));
  to.sin_addr = peer;
  sockaddr_in local{};
  socklen_t length = sizeof local;
  const bool ok = connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                  getsockname(fd, reinterpret_cast<sockaddr*>(&local), &length) == 0;
  close(fd);
  if (!ok) return false;
  *address = Dotted(local.sin_addr);
  return true;
}

}  // namespace orla
