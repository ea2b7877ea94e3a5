// "KORAgent install" and "KORAgent remove" against a stand-in of systemd:
// a unit folder and a systemctl of the test's own (KORAGENT_SYSTEMD_UNIT_DIR,
// KORAGENT_SYSTEMCTL).
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/agent_process.h"
#include "tests/support/build_tree.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

std::string FakeSystemctl() { return test::SourceDir() + "/tests/integration/service/fake_systemctl.sh"; }

std::string RealPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) != nullptr ? buffer : path;
}

// What install prints on success: on a host without the service's own user
// the service runs as root, and the command says so.
std::string Installed() {
  const std::string done = "ORLA KOR Agent installed.\n";
  if (::getpwnam("koragent") != nullptr) return done;
  return done + "ORLA KOR Agent runs as root: there is no user koragent.\n";
}

class InstallRemove : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(::mkdir(UnitDir().c_str(), 0755), 0); }
  std::string UnitDir() const { return dir_.Path() + "/units"; }
  std::string UnitFile() const { return UnitDir() + "/KORAgent.service"; }
  std::vector<std::string> Env(const std::vector<std::string>& extra = {}) const {
    std::vector<std::string> env = {"KORAGENT_SYSTEMCTL=" + FakeSystemctl(), "KORAGENT_SYSTEMD_UNIT_DIR=" + UnitDir(),
                                    "FAKE_SYSTEMCTL_DIR=" + dir_.Path()};
    env.insert(env.end(), extra.begin(), extra.end());
    return env;
  }
  // Runs the built program with `word`; the console output. Every run ends
  // with exit code 0, whatever happened.
  std::string Run(const std::string& word, const std::vector<std::string>& env) {
    test::AgentProcess agent;
    EXPECT_TRUE(agent.Start(test::AgentProcess::BuiltAgent(), {word}, env));
    int code = -1;
    EXPECT_TRUE(agent.Wait(&code, std::chrono::seconds(30)));
    EXPECT_EQ(code, 0);
    return agent.Output();
  }
  std::string Calls() const { return dir_.Read("calls"); }
  void SetState(const std::string& state) { dir_.Write("state", state + "\n"); }

  test::TempDir dir_;
};

TEST_F(InstallRemove, InstallWritesAndEnablesTheUnit) {
  EXPECT_EQ(Run("install", Env()), Installed());
  const std::string unit = dir_.Read("units/KORAgent.service");
  EXPECT_NE(unit.find("\nDescription=ORLA KOR Agent\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nType=notify\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nExecStart=" + RealPath(test::AgentProcess::BuiltAgent()) + "\n"), std::string::npos) << unit;
  EXPECT_NE(unit.find("\nWantedBy=multi-user.target\n"), std::string::npos) << unit;
  // Without KORAgent.cfg beside the program, the folders it may write are
  // those a program directory is installed with.
  const std::string program = RealPath(test::AgentProcess::BuiltAgent());
  const std::string programDir = program.substr(0, program.rfind('/'));
  EXPECT_NE(unit.find("\nReadWritePaths=-" + programDir + "/KOR -" + programDir + "/KORZEPD\n"), std::string::npos)
      << unit;
  EXPECT_NE(unit.find("\nProtectSystem=strict\n"), std::string::npos) << unit;
  EXPECT_EQ(Calls(), "daemon-reload\nenable KORAgent.service\n");
}

TEST_F(InstallRemove, AnyWordStartingWithIInstallsAndWithRRemoves) {
  EXPECT_EQ(Run("i", Env()), Installed());
  EXPECT_EQ(Run("Random", Env()), "ORLA KOR Agent removed.\n");
  EXPECT_EQ(Run("Ixx", Env()), Installed());
  EXPECT_EQ(Run("r", Env()), "ORLA KOR Agent removed.\n");
}

// A bad port setting does not concern install and remove: it is pointed out
// and the command goes on, ending with 0.
TEST_F(InstallRemove, ABadSettingIsPointedOutAndInstallGoesOn) {
  EXPECT_EQ(Run("install", Env({"KORAGENT_SNMP_PORT=abc"})),
            "KORAGENT_SNMP_PORT=abc is not a port number from 1 to 65535\n" + Installed());
}

TEST_F(InstallRemove, SecondInstallFails) {
  EXPECT_EQ(Run("install", Env()), Installed());
  EXPECT_EQ(Run("install", Env()), "CreateService failed - File exists (0x11)\n");
}

TEST_F(InstallRemove, InstallThatCannotEnableLeavesNoUnit) {
  const std::string out = Run("install", Env({"FAKE_FAIL=enable"}));
  // systemctl's own complaint comes first, on the same console.
  EXPECT_NE(out.find("CreateService failed - Input/output error (0x5)\n"), std::string::npos) << out;
  EXPECT_FALSE(dir_.Exists("units/KORAgent.service"));
}

TEST_F(InstallRemove, InstallIntoMissingUnitFolderFails) {
  EXPECT_EQ(Run("install", Env({"KORAGENT_SYSTEMD_UNIT_DIR=" + dir_.Path() + "/none"})),
            "CreateService failed - No such file or directory (0x2)\n");
}

TEST_F(InstallRemove, RemoveOfStoppedServiceOnlyRemoves) {
  ASSERT_EQ(Run("install", Env()), Installed());
  dir_.Write("calls", "");
  EXPECT_EQ(Run("remove", Env()), "ORLA KOR Agent removed.\n");
  EXPECT_FALSE(dir_.Exists("units/KORAgent.service"));
  EXPECT_EQ(Calls(), "is-active --quiet KORAgent.service\ndisable KORAgent.service\ndaemon-reload\n");
}

TEST_F(InstallRemove, RemoveOfRunningServiceStopsItFirst) {
  ASSERT_EQ(Run("install", Env()), Installed());
  SetState("active");
  dir_.Write("calls", "");
  // Two polls still find it stopping, the third finds it stopped.
  EXPECT_EQ(Run("remove", Env({"FAKE_STOP_POLLS=2"})),
            "Stopping ORLA KOR Agent...\nORLA KOR Agent stopped.\nORLA KOR Agent removed.\n");
  EXPECT_EQ(Calls(),
            "is-active --quiet KORAgent.service\n"
            "stop --no-block KORAgent.service\n"
            "show --property=ActiveState --value KORAgent.service\n"
            "show --property=ActiveState --value KORAgent.service\n"
            "show --property=ActiveState --value KORAgent.service\n"
            "disable KORAgent.service\n"
            "daemon-reload\n");
  EXPECT_FALSE(dir_.Exists("units/KORAgent.service"));
}

TEST_F(InstallRemove, ServiceThatDoesNotStopIsStillRemoved) {
  ASSERT_EQ(Run("install", Env()), Installed());
  SetState("active");
  EXPECT_EQ(Run("remove", Env({"FAKE_STOP=stuck"})),
            "Stopping ORLA KOR Agent.\nORLA KOR Agent failed to stop.\nORLA KOR Agent removed.\n");
}

TEST_F(InstallRemove, RemoveWithoutUnitFails) {
  EXPECT_EQ(Run("remove", Env()), "OpenService failed - No such file or directory (0x2)\n");
}

TEST_F(InstallRemove, RemoveThatCannotDisableKeepsTheUnit) {
  ASSERT_EQ(Run("install", Env()), Installed());
  const std::string out = Run("remove", Env({"FAKE_FAIL=disable"}));
  EXPECT_NE(out.find("DeleteService failed - Input/output error (0x5)\n"), std::string::npos) << out;
  EXPECT_TRUE(dir_.Exists("units/KORAgent.service"));
}

TEST_F(InstallRemove, WithoutServiceManagerBothCommandsSaySo) {
  const std::vector<std::string> env = {"KORAGENT_SYSTEMCTL=" + dir_.Path() + "/no-systemctl",
                                        "KORAGENT_SYSTEMD_UNIT_DIR=" + UnitDir()};
  EXPECT_EQ(Run("install", env), "OpenSCManager failed - No such file or directory (0x2)\n");
  EXPECT_EQ(Run("remove", env), "OpenSCManager failed - No such file or directory (0x2)\n");
  EXPECT_FALSE(dir_.Exists("units/KORAgent.service"));
}

TEST_F(InstallRemove, HostWithoutSystemdSaysSo) {
  struct stat st;
  if (::stat("/run/systemd/system", &st) == 0) GTEST_SKIP() << "this host runs systemd";
  EXPECT_EQ(Run("install", {"KORAGENT_SYSTEMCTL=", "KORAGENT_SYSTEMD_UNIT_DIR="}),
            "OpenSCManager failed - No such file or directory (0x2)\n");
}

}  // namespace
}  // namespace orla
