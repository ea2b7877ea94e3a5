// korsnmpv3: the agent's SNMPv3 settings from the command line, in the agent
// directory of the KORAgent.cfg beside the tool, unless -d names another:
// profiles, assignments and the v3-only switch (SnmpV3Command), the
// notification targets (TargetVerb) and the agent's engine (EngineVerb).
// Run as root, it works as the agent directory's owner, so the agent can
// read the owner-only files it writes.
#include <iostream>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "agent/core/audit_trail.h"
#include "engine_verb.h"
#include "platform/sysinfo/directory_owner.h"
#include "platform/text/regular_file.h"
#include "snmp_v3_command.h"
#include "target_verb.h"

int main(int argc, char** argv) {
  orla::AgentSettings::Load();
  // Who runs the tool, asked before it takes the directory owner's ids.
  const orla::AuditTrail::Actor actor = orla::AuditTrail::LocalUser();
  std::vector<std::string> args(argv + 1, argv + argc);
  orla::AgentLayout layout;
  if (args.size() >= 2 && args[0] == "-d") {
    layout = orla::AgentLayout("", args[1]);
    args.erase(args.begin(), args.begin() + 2);
  } else {
    std::string error;
    if (!orla::AgentLayout::Read(orla::AgentLayout::RunningProgramDirectory(), &layout, &error)) {
      std::cerr << "korsnmpv3: " << error << " (or name the agent directory with -d)\n";
      return 1;
    }
  }
  const std::string agentDirectory = layout.AgentDirectory();
  std::string error;
  if (!orla::DirectoryOwner::Become(agentDirectory,
                                    {orla::AgentLayout::kSnmpV3FileName, "snmpv3.conf.lock",
                                     orla::AgentLayout::kNotificationTargetFileName,
                                     orla::AgentLayout::kEngineFileName, orla::AgentLayout::kChangeFileName},
                                    &error)) {
    std::cerr << "korsnmpv3: " << error << "\n";
    return 1;
  }
  // Every change goes to the agent directory's change file too, whatever
  // the environment says of the event log.
  orla::AuditTrail::SetChangeFile(layout.ChangeFile());
  const auto audit = [&actor, &layout](const std::string& what) {
    if (const int err = orla::AuditTrail::Record(actor, what); err != 0) {
      std::cerr << "korsnmpv3: the change was made, but not recorded in " << orla::RegularFile::Describe(layout.ChangeFile(), err)
                << "\n";
    }
  };
  if (!args.empty()) {
    const std::vector<std::string> rest(args.begin() + 1, args.end());
    if (args[0] == "engine") return orla::EngineVerb::Run(rest, layout, std::cout, std::cerr);
    if (args[0] == "target") return orla::TargetVerb::Run(rest, layout, std::cout, std::cerr, audit);
  }
  return orla::SnmpV3Command::Run(args, agentDirectory, std::cin, std::cout, std::cerr, audit);
}
