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
  LocalEngine engine;
  bool missing = false;
  std::string error;
  if (!LocalEngine::Read(layout.EngineFile(), &engine, &missing, &error)) {
    err << "korsnmpv3: " << error << (missing ? " (the agent makes it at its first start)" : "") << "\n";
    return 1;
  }
  out << "engine ID " << engine.HexId() << "\nengine boots " << engine.boots << "\n";
  return 0;
}

}  // namespace orla
