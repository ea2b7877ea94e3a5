#pragma once
// The addresses of this host: its first IPv4 address by host name, and the
// local address its datagrams to a given host come from.
#include <string>

namespace orla {

class HostAddress {
 public:
  // The host name (read with a limit of 100 characters) resolved with
  // getaddrinfo; the first IPv4 address in dotted form ("%d.%d.%d.%d").
  // Returns false when the name cannot be read or resolved.
  static bool AgentFirstIpv4(std::string* address);

  // The local IPv4 address the system chooses as the source of UDP
  // datagrams to `host` (dotted address or name) and `port`, found by
  // connecting a UDP socket (nothing is sent). Returns false when the host
  // cannot be resolved or no route leads there.
  static bool SourceToward(const std::string& host, int port, std::string* address);
};

}  // namespace orla
