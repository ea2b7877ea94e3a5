// KORAgent run as a process from a program directory, with its web interface
// on a free loopback port: the agent configuration dialog over HTTPS changes
// the polling interval, storage.ini in the agent directory holds it, and the
// agent started again polls at the new interval.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <string>

#include "platform/text/string_printf.h"
#include "tests/integration/web/loopback_https.h"
#include "tests/support/agent_process.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/notify_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

using test::Contains;

class AgentDialogs : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir(dir_.File("KOR").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(test::AgentProcess::BuiltAgent().c_str(), dir_.File("KORAgent").c_str()), 0);
    dir_.Write("KORAgent.cfg", "ORLA KOR Agent\n" + dir_.File("KOR") + "\nKORAgent\nTest Label\n.1.3.6.1.4.1.4413\n");
    dir_.Write("KOR/storage.ini", "300\n");
    https_ = {test::FreeLoopbackPort(SOCK_STREAM), dir_.Path()};
    trapPort_ = test::FreeLoopbackPort(SOCK_DGRAM);
    ASSERT_NE(https_.port, 0);
  }
  void TearDown() override {
    if (running_) Stop();
  }

  // Starts the agent from another working directory and waits until its
  // pages answer.
  void Start() {
    test::NotifySocket notify;
    ASSERT_TRUE(agent_.Start(dir_.File("KORAgent"), {},
                             {notify.EnvEntry(), StringPrintf("KORAGENT_HTTPS_PORT=%d", https_.port),
                              "KORAGENT_HTTPS_ADDRESS=127.0.0.1",
                              StringPrintf("KORAGENT_TRAP_LISTEN=udp:127.0.0.1:%d", trapPort_)},
                             "/"));
    running_ = true;
    ASSERT_TRUE(notify.WaitFor("READY=1")) << agent_.Output();
    ASSERT_TRUE(test::WaitUntil([&] { return https_.Request("/KOR/about.htm").status == 200; }, 20s, 100ms))
        << agent_.Output();
  }
  void Stop() {
    running_ = false;
    ASSERT_TRUE(agent_.Signal(SIGTERM)) << agent_.Output();
    int code = -1;
    ASSERT_TRUE(agent_.Wait(&code));
    EXPECT_EQ(code, 0);
  }

  // Signs in as the administrator; the session goes into `jar`.
  void Login(const std::string& jar) {
    ASSERT_EQ(https_.LogIn("administrator", test::ReadLine(dir_.File("KORZEPD/administrator-password.txt")), jar),
              303);
  }
  // The agent configuration page, with the session in `jar`; `form` posted.
  std::string ConfigPage(const std::string& jar, const std::string& form = "") {
    const std::string post = form.empty() ? "" : https_.OriginHeader() + " --data '" + form + "'";
    return https_.Request("/KOR/agent_config.html", "-b '" + jar + "' " + post).body;
  }

  test::TempDir dir_;
  test::AgentProcess agent_;
  test::LoopbackHttps https_;
  int trapPort_ = 0;
  bool running_ = false;
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
