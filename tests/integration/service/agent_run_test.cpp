// KORAgent run as a process from a program directory, in the foreground as
// from a console, with a notification socket standing in for systemd.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/free_port.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/notify_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

const char kBanner[] = "INFO: Startup of Tarvik Tape Controller Management Daemon, revision V2.7.2.13.";

// A program directory: KORAgent (a link to the built program), KORAgent.cfg
// and the agent directory KOR.
class RunningAgent : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(::mkdir(AgentDir().c_str(), 0755), 0);
    ASSERT_EQ(::symlink(test::AgentProcess::BuiltAgent().c_str(), Program().c_str()), 0);
    WriteConfig(AgentDir(), ".1.3.6.1.4.1.4413");
    dir_.Write("KOR/storage.ini", "300\n");
  }
  std::string AgentDir() const { return dir_.Path() + "/KOR"; }
  std::string Program() const { return dir_.Path() + "/KORAgent"; }
  void WriteConfig(const std::string& agentDir, const std::string& enterprise) {
    dir_.Write("KORAgent.cfg", "ORLA KOR Agent\n" + agentDir + "\nKORAgent\nTest Label\n" + enterprise + "\n");
  }
  // Starts the agent from a different working directory, so that finding its
  // files relies on entering the program directory.
  void Start(const std::vector<std::string>& args = {}) {
    ASSERT_TRUE(agent_.Start(Program(), args, {notify_.EnvEntry()}, "/"));
  }
  void ExpectRunning() {
    ASSERT_TRUE(notify_.WaitFor("READY=1")) << agent_.Output();
  }
  int StopAndWait() {
    EXPECT_TRUE(agent_.Signal(SIGTERM));
    int code = -1;
    EXPECT_TRUE(agent_.Wait(&code));
    return code;
  }
  // Start-up runs on after "running" is reported: its last step writes the
  // system information file of the agent directory in `programDir`.
  static bool WaitForSystemInformation(const test::TempDir& programDir) {
    return test::WaitUntil([&] { return programDir.Exists("KOR/sysinfo.agt"); }, 5s, 10ms);
  }
  int WaitExit() {
    int code = -1;
    EXPECT_TRUE(agent_.Wait(&code)) << "the agent did not end";
    return code;
  }

  test::EventLogCapture log_;
  test::TempDir dir_;
  test::NotifySocket notify_;
  test::AgentProcess agent_;
};

TEST_F(RunningAgent, StartsReportsAndStopsOnTerminate) {
  Start();
  ExpectRunning();
  EXPECT_EQ(notify_.Received(),
            (std::vector<std::string>{"STATUS=Start pending (check point 1)\nEXTEND_TIMEOUT_USEC=5000000",
                                      "STATUS=Start pending (check point 2)\nEXTEND_TIMEOUT_USEC=1000000",
                                      "STATUS=Start pending (check point 3)\nEXTEND_TIMEOUT_USEC=5000000",
                                      "READY=1\nSTATUS=Running"}));
  // The banner is the first entry: written before the service starts.
  const auto events = log_.Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events[0].text, kBanner);
  EXPECT_EQ(events[0].eventType, 4);
  EXPECT_EQ(events[0].eventId, 2147483653u);

  EXPECT_EQ(StopAndWait(), 0);
  EXPECT_EQ(notify_.Receive(), "STOPPING=1\nSTATUS=Stop pending (check point 1)\nEXTEND_TIMEOUT_USEC=5000000");
  EXPECT_EQ(notify_.Receive(), "STATUS=Stopped");
  EXPECT_EQ(agent_.Output(), "");
}

TEST_F(RunningAgent, WritesSystemInformation) {
  Start();
  ExpectRunning();
  ASSERT_TRUE(WaitForSystemInformation(dir_));
  const std::vector<std::string> lines = test::Lines(dir_.Read("KOR/sysinfo.agt"));
  ASSERT_EQ(lines.size(), 12u);
  struct stat st;
  ASSERT_EQ(::stat(dir_.File("KOR/sysinfo.agt").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);  // private like the agent's other files
  EXPECT_EQ(lines[0], "Test Label");
  EXPECT_EQ(lines[1], "2");
  EXPECT_EQ(lines[2], "7");
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  EXPECT_EQ(lines[3], host);
#if defined(__x86_64__)
  EXPECT_EQ(lines[4], "8664");
#endif
  EXPECT_EQ(lines[5] + lines[6] + lines[7], "");
  EXPECT_EQ(lines[8], lines[10] + "." + lines[11]);
  EXPECT_EQ(lines[9], "Linux");
  EXPECT_EQ(StopAndWait(), 0);
}

TEST_F(RunningAgent, PausesAndContinuesOnUserSignals) {
  Start();
  ExpectRunning();
  ASSERT_TRUE(agent_.Signal(SIGUSR1));
  EXPECT_EQ(notify_.Receive(), "STATUS=Pause pending (check point 1)\nEXTEND_TIMEOUT_USEC=1000000");
  EXPECT_EQ(notify_.Receive(), "STATUS=Paused");
  // A second pause while paused changes nothing: the next report is the
  // continue's.
  ASSERT_TRUE(agent_.Signal(SIGUSR1));
  ASSERT_TRUE(agent_.Signal(SIGUSR2));
  EXPECT_EQ(notify_.Receive(), "STATUS=Continue pending (check point 1)\nEXTEND_TIMEOUT_USEC=1000000");
  EXPECT_EQ(notify_.Receive(), "READY=1\nSTATUS=Running");
  // A continue while running changes nothing either.
  ASSERT_TRUE(agent_.Signal(SIGUSR2));
  ASSERT_TRUE(agent_.Signal(SIGUSR1));
  EXPECT_EQ(notify_.Receive(), "STATUS=Pause pending (check point 1)\nEXTEND_TIMEOUT_USEC=1000000");
  EXPECT_EQ(notify_.Receive(), "STATUS=Paused");
  // A paused service stops.
  EXPECT_EQ(StopAndWait(), 0);
  EXPECT_EQ(notify_.Receive(), "STOPPING=1\nSTATUS=Stop pending (check point 1)\nEXTEND_TIMEOUT_USEC=5000000");
  EXPECT_EQ(notify_.Receive(), "STATUS=Stopped");
}

TEST_F(RunningAgent, InterruptStopsLikeTerminate) {
  Start({"-console"});  // an argument not starting with I or R runs the agent
  ExpectRunning();
  ASSERT_TRUE(agent_.Signal(SIGINT));
  int code = -1;
  ASSERT_TRUE(agent_.Wait(&code));
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(notify_.WaitFor("STATUS=Stopped"));
}

// A stop while the initial load waits for silent devices ends the agent with
// exit code 0, whenever in the load it comes. The moment matters, so the same
// sequence runs many times with the stop at different points.
TEST_F(RunningAgent, StopDuringTheInitialLoadOfSilentElementsAlwaysEndsTheAgent) {
  test::InstallDevicesFolder(dir_.Path());
  dir_.Write("KOR/KORAgent.db", "tc01|127.0.3.1\ntc02|127.0.3.2\ntc03|127.0.3.3\n");
  // Every request to the devices' port is taken and never answered.
  test::BoundUdpSocket silent("0.0.0.0");
  ASSERT_NE(silent.Port(), 0);
  for (int round = 0; round < 24; ++round) {
    test::NotifySocket notify;
    test::AgentProcess agent;
    ASSERT_TRUE(agent.Start(Program(), {},
                            {notify.EnvEntry(), "KORAGENT_SNMP_PORT=" + std::to_string(silent.Port()),
                             "KORAGENT_TRAP_LISTEN=udp:127.0.0.1:0"},
                            "/"));
    ASSERT_TRUE(notify.WaitFor("READY=1")) << agent.Output();
    // From at once to well into the first device's time-out.
    std::this_thread::sleep_for(std::chrono::milliseconds((round * 53) % 900));
    ASSERT_TRUE(agent.Signal(round % 2 == 0 ? SIGINT : SIGTERM)) << "round " << round;
    int code = -1;
    ASSERT_TRUE(agent.Wait(&code, std::chrono::seconds(10))) << "round " << round << " did not end";
    EXPECT_EQ(code, 0) << "round " << round;
  }
  // The load never finished: the element file is as it was.
  EXPECT_EQ(dir_.Read("KOR/KORAgent.db"), "tc01|127.0.3.1\ntc02|127.0.3.2\ntc03|127.0.3.3\n");
}

TEST_F(RunningAgent, RunsWithoutNotificationSocket) {
  // Started from a console: nothing to report to, and nothing fails.
  ASSERT_TRUE(agent_.Start(Program(), {}, {"NOTIFY_SOCKET="}, "/"));
  EXPECT_TRUE(WaitForSystemInformation(dir_));
  ASSERT_TRUE(agent_.Signal(SIGTERM));
  int code = -1;
  ASSERT_TRUE(agent_.Wait(&code));
  EXPECT_EQ(code, 0);
  EXPECT_EQ(log_.Count("StartServiceCtrlDispatcher"), 0);
}

TEST_F(RunningAgent, UndeliverableStatusReportStopsTheService) {
  // systemd gone: the first report fails, the service stops without starting
  // the agent, and the process ends normally.
  ASSERT_TRUE(agent_.Start(Program(), {}, {"NOTIFY_SOCKET=" + dir_.Path() + "/gone"}, "/"));
  EXPECT_EQ(WaitExit(), 0);
  EXPECT_EQ(log_.Count("CRITICAL: Service start failed - No such file or directory (0x2)"), 1)
      << ::testing::PrintToString(log_.Texts());
  EXPECT_FALSE(dir_.Exists("KOR/sysinfo.agt"));
}

// What keeps the agent from starting ends the process with its exit code
// (2 for the configuration, 3 for the system information file) and a
// critical entry, and never reports the service stopped.
TEST_F(RunningAgent, BadConfigurationOrSettingsEndTheProcessWithTheirCode) {
  const std::string fine = ".1.3.6.1.4.1.4413";
  const struct {
    const char* what;
    std::function<void()> arrange;
    std::string setting;  // an environment entry
    int code;
    std::string logged;
  } cases[] = {
      {"no configuration", [&] { ::unlink((dir_.Path() + "/KORAgent.cfg").c_str()); }, "", 2,
       "CRITICAL: Unable to open file KORAgent.cfg - No such file or directory"},
      {".1.3.6.0.4", [&] { WriteConfig(AgentDir(), ".1.3.6.0.4"); }, "", 2,
       "CRITICAL: File KORAgent.cfg - Invalid SNMP Enterprise number format."},
      {".1.256", [&] { WriteConfig(AgentDir(), ".1.256"); }, "", 2,
       "CRITICAL: File KORAgent.cfg - Invalid SNMP Enterprise number format."},
      {"two lines", [&] { dir_.Write("KORAgent.cfg", "ORLA KOR Agent\n" + AgentDir() + "\n"); }, "", 2,
       "CRITICAL: File KORAgent.cfg - Line 3 is missing."},
      {"port", [] {}, "KORAGENT_SNMP_PORT=abc", 2, "CRITICAL: KORAGENT_SNMP_PORT=abc"},
      {"listen", [] {}, "KORAGENT_TRAP_LISTEN=tcp:10162", 2, "CRITICAL: KORAGENT_TRAP_LISTEN=tcp:10162"},
      {"unwritable", [&] { WriteConfig(dir_.Path() + "/absent", fine); }, "", 3,
       "CRITICAL: Unable to open file " + dir_.Path() + "/absent/sysinfo.agt - No such file or directory"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    log_.Clear();
    WriteConfig(AgentDir(), fine);
    c.arrange();
    test::NotifySocket notify;
    test::AgentProcess agent;
    std::vector<std::string> env = {notify.EnvEntry()};
    if (!c.setting.empty()) env.push_back(c.setting);
    ASSERT_TRUE(agent.Start(Program(), {}, env, "/"));
    int code = -1;
    ASSERT_TRUE(agent.Wait(&code));
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(log_.Count(c.logged), 1) << ::testing::PrintToString(log_.Texts());
    std::vector<std::string> reports;
    for (std::string m; !(m = notify.Receive(100ms)).empty();) reports.push_back(m);
    for (const auto& m : reports) EXPECT_EQ(m.find("Stopped"), std::string::npos) << m;
    if (!c.setting.empty()) {
      // A bad setting is found before anything starts, and named on the console too.
      EXPECT_TRUE(reports.empty()) << ::testing::PrintToString(reports);
      EXPECT_NE(agent.Output().find(c.setting), std::string::npos) << agent.Output();
    }
    EXPECT_FALSE(dir_.Exists("KOR/sysinfo.agt"));
  }
}

TEST_F(RunningAgent, InvalidPollingIntervalIsAWarningOnly) {
  dir_.Write("KOR/storage.ini", "59\n");
  Start();
  ExpectRunning();
  EXPECT_TRUE(WaitForSystemInformation(dir_));
  EXPECT_EQ(log_.Count("WARNING: Invalid file format or number out of range in " + AgentDir() +
                       "/storage.ini.  Defaults assumed."),
            1);
  EXPECT_EQ(StopAndWait(), 0);
}

TEST_F(RunningAgent, PathWithoutFolderKeepsTheWorkingDirectory) {
  // Started as "KORAgent" from another folder that has its own configuration:
  // that one is read.
  test::TempDir other;
  ASSERT_EQ(::mkdir((other.Path() + "/KOR").c_str(), 0755), 0);
  other.Write("KORAgent.cfg", "x\n" + other.Path() + "/KOR\nx\nOther Label\n.1.3\n");
  ASSERT_TRUE(agent_.Start(Program(), {}, {notify_.EnvEntry()}, other.Path(), "KORAgent"));
  ExpectRunning();
  ASSERT_TRUE(WaitForSystemInformation(other));
  EXPECT_EQ(test::Lines(other.Read("KOR/sysinfo.agt")).at(0), "Other Label");
  EXPECT_FALSE(dir_.Exists("KOR/sysinfo.agt"));
  EXPECT_EQ(StopAndWait(), 0);
}

}  // namespace
}  // namespace orla
