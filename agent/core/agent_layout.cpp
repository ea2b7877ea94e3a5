#include "agent/core/agent_layout.h"

#include <unistd.h>

#include <climits>
#include <fstream>
#include <vector>

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

std::string AgentLayout::RunningProgramDirectory() {
  std::vector<char> buffer(PATH_MAX + 1, '\0');
  const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0) return ".";
  const std::string path(buffer.data(), static_cast<size_t>(n));
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

}  // namespace orla
