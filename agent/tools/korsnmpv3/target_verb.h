#pragma once
// `korsnmpv3 target`: the agent's SNMPv2c/SNMPv3 notification targets.
//   target add HOST:PORT (--community C | --profile NAME) [--inform]
//   target list
//   target remove HOST:PORT
// A community makes an SNMPv2c target, a profile an SNMPv3 one; --inform
// asks for acknowledged informs instead of traps; the profile must exist
// (snmpv3.conf). Adding a HOST:PORT that
// is listed replaces it. The agent reads the file again at its next
// notification: no restart is needed. Every change is an audit event.
#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"

namespace orla {

class TargetVerb {
 public:
  // Exit code: 0; 1 when the file cannot be read or written or the target
  // is not listed; 2 for a usage error.
  static int Run(const std::vector<std::string>& args, const AgentLayout& layout, std::ostream& out,
                 std::ostream& err, const std::function<void(const std::string& what)>& audit);
};

}  // namespace orla
