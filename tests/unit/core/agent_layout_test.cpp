// The agent's on-disk layout: one rule for line 2 of KORAgent.cfg.
#include "agent/core/agent_layout.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace orla {
namespace {

TEST(AgentLayout, LineTwoNamesTheAgentDirectoryAndEverythingBesideIt) {
  struct Case {
    const char* line;
    const char* agentDirectory;
  };
  // A relative line is taken relative to the program directory; the path
  // is otherwise used as written, a trailing "/" included.
  for (const Case& c : {Case{"/opt/kor/KOR", "/opt/kor/KOR"}, Case{"KOR", "/prog/KOR"},
                        Case{"../data/KOR", "/prog/../data/KOR"}, Case{"/opt/kor/KOR/", "/opt/kor/KOR/"}}) {
    const AgentLayout layout("/prog", c.line);
    EXPECT_EQ(layout.AgentDirectory(), c.agentDirectory) << c.line;
    EXPECT_EQ(layout.WebContentDirectory(), std::string(c.agentDirectory) + "ZEPA") << c.line;
    EXPECT_EQ(layout.WebDataDirectory(), std::string(c.agentDirectory) + "ZEPD") << c.line;
    EXPECT_EQ(layout.ElementFile(), std::string(c.agentDirectory) + "/KORAgent.db") << c.line;
  }
  EXPECT_EQ(AgentLayout("/prog", "").AgentDirectory(), "");
}

TEST(AgentLayout, ReadTakesLineTwoOfTheConfigurationFile) {
  test::TempDir dir;
  AgentLayout layout;
  std::string error;
  EXPECT_FALSE(AgentLayout::Read(dir.Path(), &layout, &error));
  EXPECT_EQ(error, "cannot read the agent directory from " + dir.File("KORAgent.cfg"));
  dir.Write("KORAgent.cfg", "one\n\r\nthree\n");
  EXPECT_FALSE(AgentLayout::Read(dir.Path(), &layout, &error));
  EXPECT_EQ(error, "line 2 of " + dir.File("KORAgent.cfg") + " is empty");
  dir.Write("KORAgent.cfg", "one\nKOR\r\nthree\n");
  ASSERT_TRUE(AgentLayout::Read(dir.Path(), &layout, &error)) << error;
  EXPECT_EQ(layout.AgentDirectory(), dir.File("KOR"));
  EXPECT_EQ(layout.PollingIntervalFile(), dir.File("KOR/storage.ini"));
}

}  // namespace
}  // namespace orla
