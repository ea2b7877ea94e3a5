#include "agent/core/agent_layout.h"

#include <fstream>

namespace orla {

AgentLayout::AgentLayout(const std::string& programDirectory, const std::string& agentDirectoryLine)
    : programDirectory_(programDirectory), agentDirectory_(agentDirectoryLine) {
  if (!agentDirectory_.empty() && agentDirectory_[0] != '/' && !programDirectory_.empty()) {
    agentDirectory_ = programDirectory_ + "/" + agentDirectory_;
  }
}

bool AgentLayout::Read(const std::string& programDirectory, AgentLayout* layout, std::string* error) {
  const std::string file = programDirectory + "/" + kConfigurationFileName;
  std::ifstream in(file);
  std::string line;
  if (!in || !std::getline(in, line) || !std::getline(in, line)) {
    *error = "cannot read the agent directory from " + file;
    return false;
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.empty()) {
    *error = "line 2 of " + file + " is empty";
    return false;
  }
  *layout = AgentLayout(programDirectory, line);
  return true;
}

}  // namespace orla
