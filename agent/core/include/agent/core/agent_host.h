#pragma once
// The address the agent names its host by to others: in the URLs of its
// pages and of its elements' device pages, in the discovery document when
// the host has no name, and as the agent address of its own traps. It is
// the host name's IPv4 address, or, when that is a loopback address
// (Debian's 127.0.1.1), the host's first non-loopback IPv4 address, so that
// another machine can reach it.
#include <string>

namespace orla {

class AgentHost {
 public:
  // In dotted form. Throws OrlaException 2013 "Unable to retrieve agent
  // host information." when the host cannot be resolved.
  static std::string Address();
};

}  // namespace orla
