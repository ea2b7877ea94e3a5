// The program directory that "cmake --install" lays out runs as it is.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/build_tree.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/notify_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

// Runs "cmake --install" of this build into `prefix`; its output.
std::string Install(const std::string& prefix) {
  test::AgentProcess cmake;
  EXPECT_TRUE(cmake.Start("/usr/bin/cmake", {"--install", test::BinaryDir(), "--prefix", prefix}));
  int code = -1;
  EXPECT_TRUE(cmake.Wait(&code, std::chrono::seconds(60)));
  EXPECT_EQ(code, 0) << cmake.Output();
  return cmake.Output();
}

bool IsDirectory(const std::string& path, mode_t* mode = nullptr) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return false;
  if (mode != nullptr) *mode = st.st_mode & 07777;
  return true;
}

TEST(InstalledProgramDirectory, HasItsLayoutAndRuns) {
  test::TempDir dir;
  const std::string prefix = dir.Path() + "/kor";
  Install(prefix);

  EXPECT_EQ(::access((prefix + "/KORAgent").c_str(), X_OK), 0);
  EXPECT_EQ(::access((prefix + "/libkorcore.so").c_str(), R_OK), 0);
  EXPECT_TRUE(IsDirectory(prefix + "/devices"));
  EXPECT_TRUE(IsDirectory(prefix + "/KOR"));
  EXPECT_TRUE(IsDirectory(prefix + "/KORZEPA"));
  mode_t mode = 0;
  ASSERT_TRUE(IsDirectory(prefix + "/KORZEPD", &mode));
  EXPECT_EQ(mode, 0700u);
  EXPECT_EQ(dir.Read("kor/KOR/storage.ini"), "300\n");
  // What holds communities or the agent's data is no one else's to read.
  for (const char* file : {"/KOR/storage.ini", "/devices/famib.cfg"}) {
    struct stat st;
    ASSERT_EQ(::stat((prefix + file).c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 07777, 0640u) << file;
  }
  const std::vector<std::string> lines = test::Lines(dir.Read("kor/KORAgent.cfg"));
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1], prefix + "/KOR");

  test::EventLogCapture log;
  test::NotifySocket notify;
  test::AgentProcess agent;
  ASSERT_TRUE(agent.Start(prefix + "/KORAgent", {}, {notify.EnvEntry()}, "/"));
  ASSERT_TRUE(notify.WaitFor("READY=1")) << agent.Output();
  EXPECT_TRUE(test::WaitUntil([&] { return dir.Exists("kor/KOR/sysinfo.agt"); }, std::chrono::seconds(5),
                              std::chrono::milliseconds(10)));
  EXPECT_EQ(log.Count("INFO: Startup of Tarvik Tape Controller Management Daemon, revision V2.7.2.13."), 1);
  EXPECT_EQ(log.Count("WARNING"), 0) << ::testing::PrintToString(log.Texts());
  ASSERT_TRUE(agent.Signal(SIGTERM));
  int code = -1;
  ASSERT_TRUE(agent.Wait(&code));
  EXPECT_EQ(code, 0);
}

TEST(InstalledProgramDirectory, ReinstallKeepsTheOperatorsFiles) {
  test::TempDir dir;
  const std::string prefix = dir.Path() + "/kor";
  Install(prefix);
  dir.Write("kor/KORAgent.cfg", "edited\n/elsewhere/KOR\nx\ny\n.1.3\n");
  dir.Write("kor/KOR/storage.ini", "120\n");
  Install(prefix);
  EXPECT_EQ(dir.Read("kor/KORAgent.cfg"), "edited\n/elsewhere/KOR\nx\ny\n.1.3\n");
  EXPECT_EQ(dir.Read("kor/KOR/storage.ini"), "120\n");
}

}  // namespace
}  // namespace orla
