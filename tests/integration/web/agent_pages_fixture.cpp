#include "tests/integration/web/agent_pages_fixture.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>

#include "platform/text/string_printf.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/notify_socket.h"
#include "tests/support/shell_command.h"
#include "tests/support/wait_until.h"

namespace orla::test {

using namespace std::chrono_literals;

void AgentPagesFixture::SetUp() {
  ASSERT_EQ(::mkdir(dir_.File("KOR").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(AgentProcess::BuiltAgent().c_str(), dir_.File("KORAgent").c_str()), 0);
  dir_.Write("KORAgent.cfg", "ORLA KOR Agent\n" + dir_.File("KOR") + "\nKORAgent\nTest Label\n.1.3.6.1.4.1.4413\n");
  dir_.Write("KOR/storage.ini", "300\n");
  https_ = {FreeLoopbackPort(SOCK_STREAM), dir_.Path()};
  trapPort_ = FreeLoopbackPort(SOCK_DGRAM);
  ASSERT_NE(https_.port, 0);
}

void AgentPagesFixture::TearDown() {
  if (running_) Stop();
}

void AgentPagesFixture::Start(const std::vector<std::string>& env) {
  NotifySocket notify;
  std::vector<std::string> all = {notify.EnvEntry(), StringPrintf("KORAGENT_HTTPS_PORT=%d", https_.port),
                                  "KORAGENT_HTTPS_ADDRESS=127.0.0.1",
                                  StringPrintf("KORAGENT_TRAP_LISTEN=udp:127.0.0.1:%d", trapPort_)};
  all.insert(all.end(), env.begin(), env.end());
  ASSERT_TRUE(agent_.Start(dir_.File("KORAgent"), {}, all, "/"));
  running_ = true;
  ASSERT_TRUE(notify.WaitFor("READY=1", 60s)) << agent_.Output();
  ASSERT_TRUE(WaitUntil([&] { return https_.Request("/KOR/about.htm").status == 200; }, 20s, 50ms))
      << agent_.Output();
}

void AgentPagesFixture::Stop() {
  running_ = false;
  ASSERT_TRUE(agent_.Signal(SIGTERM)) << agent_.Output();
  int code = -1;
  ASSERT_TRUE(agent_.Wait(&code));
  EXPECT_EQ(code, 0);
}

void AgentPagesFixture::Kill() {
  running_ = false;
  ASSERT_EQ(::kill(agent_.Pid(), SIGKILL), 0);
  int code = -1;
  ASSERT_TRUE(agent_.Wait(&code));
  EXPECT_EQ(code, 128 + SIGKILL);
}

void AgentPagesFixture::Login(const std::string& jar) {
  ASSERT_EQ(https_.LogIn("administrator", ReadLine(dir_.File("KORZEPD/administrator-password.txt")), jar), 303);
}

void AgentPagesFixture::AddUser(const char* korusers, const std::string& user, const std::string& rights,
                                const std::string& jar) {
  ASSERT_EQ(RunCommand(StringPrintf("echo %s-password | %s -d '%s' add %s %s >/dev/null", user.c_str(), korusers,
                                    dir_.File("KORZEPD").c_str(), user.c_str(), rights.c_str())),
            0);
  ASSERT_EQ(https_.LogIn(user, user + "-password", jar), 303);
}

HttpsReply AgentPagesFixture::Page(const std::string& path, const std::string& jar, const std::string& form) {
  const std::string post = form.empty() ? "" : https_.OriginHeader() + " --data '" + form + "'";
  return https_.Request("/KOR/" + path, "-b '" + jar + "' " + post);
}

}  // namespace orla::test
