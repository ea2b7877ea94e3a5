#pragma once
// `korsnmpv3 engine`: the agent's SNMP engine ID in hex and its boots, read
// from the agent directory's engine file (the agent makes it at its first
// start and counts the boots at every start).
#include <iosfwd>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"

namespace orla {

class EngineVerb {
 public:
  // Exit code: 0, or 1 when the file cannot be read (the message on `err`).
  static int Run(const std::vector<std::string>& args, const AgentLayout& layout, std::ostream& out,
                 std::ostream& err);
};

}  // namespace orla
