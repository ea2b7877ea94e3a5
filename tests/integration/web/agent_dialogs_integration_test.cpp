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
#include "tests/support/free_port.h"
#include "tests/support/agent_process.h"
#include "tests/support/file_text.h"
#include "tests/support/notify_socket.h"
#include "tests/support/shell_command.h"
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
    port_ = test::FreeLoopbackPort(SOCK_STREAM);
    trapPort_ = test::FreeLoopbackPort(SOCK_DGRAM);
    ASSERT_NE(port_, 0);
  }
  void TearDown() override {
    if (running_) Stop();
  }

  // Starts the agent from another working directory and waits until its
  // pages answer.
  void Start() {
    test::NotifySocket notify;
    ASSERT_TRUE(agent_.Start(dir_.File("KORAgent"), {},
                             {notify.EnvEntry(), StringPrintf("KORAGENT_HTTPS_PORT=%d", port_),
                              "KORAGENT_HTTPS_ADDRESS=127.0.0.1",
                              StringPrintf("KORAGENT_TRAP_LISTEN=udp:127.0.0.1:%d", trapPort_)},
                             "/"));
    running_ = true;
    ASSERT_TRUE(notify.WaitFor("READY=1")) << agent_.Output();
    ASSERT_TRUE(test::WaitUntil([&] { return Status("/KOR/about.htm") == "200"; }, 20s, 100ms))
        << agent_.Output();
  }
  void Stop() {
    running_ = false;
    ASSERT_TRUE(agent_.Signal(SIGTERM)) << agent_.Output();
    int code = -1;
    ASSERT_TRUE(agent_.Wait(&code));
    EXPECT_EQ(code, 0);
  }

  std::string Url(const std::string& path) const {
    return StringPrintf("'https://127.0.0.1:%d%s'", port_, path.c_str());
  }
  std::string Status(const std::string& path) {
    return test::CommandOutput("curl -sk --max-time 5 -o /dev/null -w '%{http_code}' " + Url(path));
  }
  // Signs in through the library's login form; the session goes into `jar`.
  void Login(const std::string& user, const std::string& password, const std::string& jar) {
    const std::string code = test::CommandOutput(StringPrintf(
        "curl -sk --max-time 20 -o /dev/null -w '%%{http_code}' -c '%s' -H 'Origin: https://127.0.0.1:%d' "
        "--data-urlencode user=%s --data-urlencode 'password=%s' --data-urlencode return=/KOR/ %s",
        jar.c_str(), port_, user.c_str(), password.c_str(), Url("/zepa/login").c_str()));
    ASSERT_EQ(code, "303") << user;
  }
  std::string Page(const std::string& path, const std::string& jar, const std::string& form = "") {
    const std::string post =
        form.empty() ? "" : StringPrintf("-H 'Origin: https://127.0.0.1:%d' --data '%s' ", port_, form.c_str());
    return test::CommandOutput("curl -sk --max-time 20 -b '" + jar + "' " + post + Url(path));
  }
  std::string AdminPassword() { return test::ReadLine(dir_.File("KORZEPD/administrator-password.txt")); }

  test::TempDir dir_;
  test::AgentProcess agent_;
  int port_ = 0;
  int trapPort_ = 0;
  bool running_ = false;
};

TEST_F(AgentDialogs, IntervalChangedInTheDialogHoldsAfterARestart) {
  Start();
  const std::string admin = dir_.File("admin.jar");
  Login("administrator", AdminPassword(), admin);
  EXPECT_TRUE(Contains(Page("/KOR/agent_config.html", admin), "<OPTION value=\"5\" SELECTED>5<"));

  const std::string changed = Page("/KOR/agent_config.html", admin, "polling_interval=7&change=Change+Interval");
  EXPECT_TRUE(Contains(changed, "<OPTION value=\"7\" SELECTED>7<")) << changed;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");
  EXPECT_FALSE(dir_.Exists("storage.ini"));  // not in the program directory

  // Out of range: refused, nothing changes.
  const std::string refused = Page("/KOR/agent_config.html", admin, "polling_interval=61&change=Change+Interval");
  EXPECT_TRUE(Contains(refused, "The polling interval must be between 1 and 60 minutes.")) << refused;
  EXPECT_EQ(dir_.Read("KOR/storage.ini"), "420\n");

  Stop();
  Start();
  Login("administrator", AdminPassword(), admin);
  EXPECT_TRUE(Contains(Page("/KOR/agent_config.html", admin), "<OPTION value=\"7\" SELECTED>7<"));
}

}  // namespace
}  // namespace orla
