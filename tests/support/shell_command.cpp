#include "tests/support/shell_command.h"

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <cstdlib>

namespace orla::test {

namespace {

int ExitStatus(int waitStatus) { return waitStatus != -1 && WIFEXITED(waitStatus) ? WEXITSTATUS(waitStatus) : -1; }

}  // namespace

int RunCommand(const std::string& command) { return ExitStatus(std::system(command.c_str())); }

std::string CommandOutput(const std::string& command, int* status) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) {
    if (status != nullptr) *status = -1;
    return output;
  }
  std::array<char, 4096> chunk;
  size_t n;
  while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), n);
  const int waitStatus = pclose(pipe);
  if (status != nullptr) *status = ExitStatus(waitStatus);
  return output;
}

}  // namespace orla::test
