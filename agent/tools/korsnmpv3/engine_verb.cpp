#include "engine_verb.h"

#include <ostream>

#include "agent/snmp/local_engine.h"

namespace orla {

int EngineVerb::Run(const std::vector<std::string>& args, const AgentLayout& layout, std::ostream& out,
                    std::ostream& err) {
  if (!args.empty()) {
    err << "usage: korsnmpv3 engine\n";
    return 2;
  }
  // Before the agent's first start there is no engine yet: it is made here
  // (boots 0), and the agent keeps it.
  LocalEngine engine;
  bool made = false;
  std::string error;
  if (!LocalEngine::ReadOrMake(layout.EngineFile(), &engine, &made, &error)) {
    err << "korsnmpv3: " << error << "\n";
    return 1;
  }
  out << "engine ID " << engine.HexId() << "\nengine boots " << engine.boots << "\n";
  if (made) out << "(made now: the agent uses this engine ID from its first start)\n";
  return 0;
}

}  // namespace orla
