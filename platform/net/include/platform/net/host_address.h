#pragma once
// The addresses of this host: its first IPv4 address by host name, and the
// local address its datagrams to a given host come from.
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class HostAddress {
 public:
  // The host name (read with a limit of 100 characters) resolved with
  // getaddrinfo; the first IPv4 address in dotted form ("%d.%d.%d.%d").
  // When the name resolves to a loopback address (Debian maps the host name
  // to 127.0.1.1), the first non-loopback IPv4 address of the host's
  // interfaces that are up is taken instead, so that others can reach the
  // address; the loopback one stays when there is none. Returns false when
  // the name cannot be read or resolved.
  static bool AgentFirstIpv4(std::string* address);

  // The choice AgentFirstIpv4 makes: `resolved` unless it is a loopback
  // address (127.0.0.0/8) and `interfaces` hold a non-loopback address, in
  // which case the first of those. Addresses in network byte order.
  static uint32_t Routable(uint32_t resolved, const std::vector<uint32_t>& interfaces);
  // The IPv4 addresses of the host's interfaces that are up, in the order
  // the system lists them (network byte order); empty when they cannot be
  // read.
  static std::vector<uint32_t> InterfaceAddresses();

  // The local IPv4 address the system chooses as the source of UDP
  // datagrams to `host` (dotted address or name) and `port`, found by
  // connecting a UDP socket (nothing is sent). Returns false when the host
  // cannot be resolved or no route leads there.
  static bool SourceToward(const std::string& host, int port, std::string* address);
};

}  // namespace orla
