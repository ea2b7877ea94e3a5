// korsnmpv3: manages the agent's SNMPv3 profiles (SnmpV3Command) in the
// agent directory of the KORAgent.cfg beside the tool, unless -d names
// another. Run as root, it works as the agent directory's owner, so the
// agent can read the owner-only file it writes.
#include <iostream>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "agent/core/audit_trail.h"
#include "platform/sysinfo/directory_owner.h"
#include "snmp_v3_command.h"

int main(int argc, char** argv) {
  orla::AgentSettings::Load();
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string agentDirectory;
  if (args.size() >= 2 && args[0] == "-d") {
    agentDirectory = args[1];
    args.erase(args.begin(), args.begin() + 2);
  } else {
    orla::AgentLayout layout;
    std::string error;
    if (!orla::AgentLayout::Read(orla::AgentLayout::RunningProgramDirectory(), &layout, &error)) {
      std::cerr << "korsnmpv3: " << error << " (or name the agent directory with -d)\n";
      return 1;
    }
    agentDirectory = layout.AgentDirectory();
  }
  std::string error;
  if (!orla::DirectoryOwner::Become(agentDirectory, {orla::AgentLayout::kSnmpV3FileName, "snmpv3.conf.lock"},
                                    &error)) {
    std::cerr << "korsnmpv3: " << error << "\n";
    return 1;
  }
  return orla::SnmpV3Command::Run(args, agentDirectory, std::cin, std::cout, std::cerr, [](const std::string& what) {
    orla::AuditTrail::Record(orla::AuditTrail::LocalUser(), what);
  });
}
