// KORAgent run as a process from a program directory, with its web interface
// on a free loopback port: the agent configuration dialog over HTTPS changes
// the polling interval, storage.ini in the agent directory holds it, and the
// agent started again polls at the new interval.
#include <gtest/gtest.h>

#include <string>

#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

class AgentDialogs : public test::AgentPagesFixture {
 protected:
  // The agent configuration page, with the session in `jar`; `form` posted.
  std::string ConfigPage(const std::string& jar, const std::string& form = "") {
    return Page("agent_config.html", jar, form).body;
  }
};

TEST_F(AgentDialogs, IntervalChangedInTheDialogHoldsAfterARestart) {
  Start();
  const std::string admin = dir_.File("admin.jar");
  Login(admin);
  EXPECT_TRUE(Contains(ConfigPage(admin), "<OPTION value=\"5\" SELECTED>5<"));

  const std::string changed = ConfigPage(admin, "polling_interval=7&change=Change+Interval");
  EXPECT_TRUE(Contains(changed, "<OPTION value=\"7\" SELECTED>7<")) << changed;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");
  EXPECT_FALSE(dir_.Exists("storage.ini"));  // not in the program directory

  // Out of range: refused, nothing changes.
  const std::string refused = ConfigPage(admin, "polling_interval=61&change=Change+Interval");
  EXPECT_TRUE(Contains(refused, "The polling interval must be between 1 and 60 minutes.")) << refused;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");

  Stop();
  Start();
  Login(admin);
  EXPECT_TRUE(Contains(ConfigPage(admin), "<OPTION value=\"7\" SELECTED>7<"));
}

}  // namespace
}  // namespace orla
