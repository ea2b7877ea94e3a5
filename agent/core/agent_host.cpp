#include "agent/core/agent_host.h"

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "platform/net/host_address.h"

namespace orla {

std::string AgentHost::Address() {
  std::string address;
  if (!HostAddress::AgentFirstIpv4(&address)) throw new OrlaException(kErrHostInfo, 0, kMsgHostInfo);
  return address;
}

}  // namespace orla
