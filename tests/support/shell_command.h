#pragma once
// Command lines run through the shell for a test (snmptrap, openssl, tmux,
// the simulator's scripts), by the one launcher (AgentProcess::Run): what a
// command writes to standard error goes to the test's standard error.
#include <string>

namespace orla::test {

// Runs `command` and returns its exit status (-1 when it did not exit).
int RunCommand(const std::string& command);

// Runs `command` and returns what it wrote to standard output; *status, when
// given, receives its exit status (-1 when it did not exit or did not start).
std::string CommandOutput(const std::string& command, int* status = nullptr);

}  // namespace orla::test
