#include "tests/support/shell_command.h"

#include <iostream>

#include "tests/support/agent_process.h"

namespace orla::test {

namespace {

// Long enough for the slowest command a test runs through the shell (the
// simulator's start, a package build step); a hung one still ends.
constexpr int kShellTimeoutSeconds = 600;

AgentProcess::Result Shell(const std::string& command) {
  AgentProcess::Result run = AgentProcess::Run({"/bin/sh", "-c", command}, std::string(), kShellTimeoutSeconds);
  // What the command says on standard error stays where the test's own
  // diagnostics go.
  if (!run.err.empty()) std::cerr << run.err << std::flush;
  return run;
}

}  // namespace

int RunCommand(const std::string& command) { return Shell(command).exitCode; }

std::string CommandOutput(const std::string& command, int* status) {
  AgentProcess::Result run = Shell(command);
  if (status != nullptr) *status = run.exitCode;
  return std::move(run.out);
}

}  // namespace orla::test
