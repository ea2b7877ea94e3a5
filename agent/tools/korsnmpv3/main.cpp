// korsnmpv3: the agent's SNMPv3 settings, in the agent directory of the
// KORAgent.cfg beside the tool (as korusers finds its own), for automation
// and scripted checks. Each verb lives in its own file; this file only
// finds the agent directory and dispatches.
#include <unistd.h>

#include <climits>
#include <iostream>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "agent/core/audit_trail.h"
#include "engine_verb.h"
#include "target_verb.h"

namespace {

constexpr char kUsage[] =
    "usage: korsnmpv3 [-d AGENTDIR] engine\n"
    "       korsnmpv3 target add HOST:PORT (--community C | --profile NAME) [--inform]\n"
    "       korsnmpv3 target list | target remove HOST:PORT\n";

}  // namespace

int main(int argc, char** argv) {
  orla::AgentSettings::Load();
  std::vector<std::string> args(argv + 1, argv + argc);
  orla::AgentLayout layout;
  std::string error;
  // -d names the agent directory, for a layout other than the program's.
  if (args.size() >= 2 && args[0] == "-d") {
    layout = orla::AgentLayout("", args[1]);
    args.erase(args.begin(), args.begin() + 2);
  } else if (!orla::AgentLayout::Read(orla::AgentLayout::RunningProgramDirectory(), &layout, &error)) {
    std::cerr << "korsnmpv3: " << error << "\n";
    return 1;
  }
  if (args.empty()) {
    std::cerr << kUsage;
    return 2;
  }
  const std::vector<std::string> rest(args.begin() + 1, args.end());
  const auto audit = [](const std::string& what) {
    orla::AuditTrail::Record(orla::AuditTrail::LocalUser(), what);
  };
  if (args[0] == "engine") return orla::EngineVerb::Run(rest, layout, std::cout, std::cerr);
  if (args[0] == "target") return orla::TargetVerb::Run(rest, layout, std::cout, std::cerr, audit);
  std::cerr << kUsage;
  return 2;
}
