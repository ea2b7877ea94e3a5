#include <gtest/gtest.h>

#include <regex>
#include <utility>

#include "agent/core/agent_host.h"
#include "agent/traps/trap_sender.h"

using namespace orla;

TEST(TrapSenderText, StateCodeFollowsOverallStatus) {
  const std::pair<char, int> cases[] = {{'0', 2}, {'1', 3}, {'2', 4}, {'3', 1}, {' ', 1}};
  for (const auto& [status, code] : cases) {
    EXPECT_EQ(TrapSender::StateCode(status), code) << status;
  }
}

TEST(TrapSenderText, AgentHostTexts) {
  EXPECT_FALSE(TrapSender::AgentOsName().empty());
  EXPECT_TRUE(std::regex_match(TrapSender::AgentOsVersion(), std::regex(R"(version \d+\.\d+ build \d+ .*)")))
      << TrapSender::AgentOsVersion();
  EXPECT_TRUE(std::regex_match(AgentHost::Address(), std::regex(R"(\d+\.\d+\.\d+\.\d+)")));
}
