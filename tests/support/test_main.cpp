// The main of every test program: reads the runtime settings from the
// environment first, as every program of the agent does, then runs the
// tests. A bad setting stops the program before any test runs.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "agent/core/agent_settings.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const std::string settingsError = orla::AgentSettings::Load();
  if (!settingsError.empty()) {
    std::fprintf(stderr, "%s\n", settingsError.c_str());
    return 1;
  }
  return RUN_ALL_TESTS();
}
