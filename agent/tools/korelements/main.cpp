// korelements: imports and exports the managed elements as CSV through the
// agent's JSON API (see ElementsCommand). The agent of this host is found
// through its layout (KORAgent.cfg beside the tool) and its settings.
#include <iostream>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "elements_command.h"
#include "platform/zepa/https_fetch.h"

int main(int argc, char** argv) {
  const std::string settingsError = orla::AgentSettings::Load();
  if (!settingsError.empty()) {
    std::cerr << "korelements: " << settingsError << "\n";
    return 2;
  }
  orla::ElementsCommand::Defaults defaults;
  defaults.url = "https://127.0.0.1:" + std::to_string(orla::AgentSettings::Current().HttpsPort()) + "/KOR/api/v1/";
  orla::AgentLayout layout;
  std::string error;
  if (orla::AgentLayout::Read(orla::AgentLayout::RunningProgramDirectory(), &layout, &error)) {
    defaults.trustFile = orla::HttpsFetch::CertificateFile(layout.WebDataDirectory());
  }
  const std::vector<std::string> args(argv + 1, argv + argc);
  return orla::ElementsCommand::Run(args, defaults, orla::ElementsCommand::Fetch, std::cout, std::cerr);
}
