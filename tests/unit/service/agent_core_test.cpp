#include "agent/service/agent_core.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/utsname.h>

#include <string>
#include <vector>

#include "platform/sysinfo/open_file_limit.h"
#include "platform/sysinfo/system_info.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/support/working_directory.h"

namespace orla {
namespace {

// An agent core whose configuration names `dir_` as the agent directory.
class AgentCoreFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("KORAgent.cfg", "one\n" + dir_.Path() + "\nthree\nMy Label\n.1.3.6.1.4.1.4413\n");
    ASSERT_TRUE(core_.ReadConfiguration(dir_.File("KORAgent.cfg")));
    log_.Clear();
  }
  std::string StoragePath() const { return dir_.File("storage.ini"); }

  test::EventLogCapture log_;
  test::TempDir dir_;
  AgentCore core_;
};

TEST_F(AgentCoreFiles, MissingConfigurationFileIsCritical) {
  AgentCore core;
  const std::string missing = dir_.File("none.cfg");
  EXPECT_FALSE(core.ReadConfiguration(missing));
  ASSERT_EQ(log_.Events().size(), 1u);
  EXPECT_EQ(log_.Events()[0].text, "CRITICAL: Unable to open file " + missing + " - No such file or directory");
  EXPECT_EQ(log_.Events()[0].eventType, 1);
}

TEST_F(AgentCoreFiles, PollingIntervalBoundsAreAccepted) {
  for (const char* value : {"60\n", "3600\n", "300", "  900\n"}) {
    dir_.Write("storage.ini", value);
    EXPECT_TRUE(core_.ReadPollingInterval()) << value;
    EXPECT_EQ(core_.PollingInterval(), std::stoi(value)) << value;
  }
  EXPECT_TRUE(log_.Events().empty());
}

TEST_F(AgentCoreFiles, PollingIntervalOutOfRangeOrNotANumberGives300) {
  for (const char* value : {"59\n", "3601\n", "0\n", "-60\n", "abc\n", "\n", "99999999999999999999\n"}) {
    log_.Clear();
    dir_.Write("storage.ini", "120\n");
    ASSERT_TRUE(core_.ReadPollingInterval());
    dir_.Write("storage.ini", value);
    EXPECT_FALSE(core_.ReadPollingInterval()) << value;
    EXPECT_EQ(core_.PollingInterval(), 300) << value;
    EXPECT_EQ(log_.Texts().back(), "WARNING: Invalid file format or number out of range in " + StoragePath() +
                                       ".  Defaults assumed.")
        << value;
  }
}

TEST_F(AgentCoreFiles, EmptyPollingIntervalFileGives300) {
  dir_.Write("storage.ini", "");
  EXPECT_FALSE(core_.ReadPollingInterval());
  EXPECT_EQ(core_.PollingInterval(), 300);
  ASSERT_EQ(log_.Events().size(), 1u);
  EXPECT_EQ(log_.Events()[0].text, "WARNING: File " + StoragePath() + " is empty.  Defaults assumed.");
  EXPECT_EQ(log_.Events()[0].eventType, 2);
}

TEST_F(AgentCoreFiles, MissingPollingIntervalFileGives300) {
  EXPECT_FALSE(core_.ReadPollingInterval());
  EXPECT_EQ(core_.PollingInterval(), 300);
  EXPECT_EQ(log_.Texts(),
            std::vector<std::string>{"WARNING: Unable to open file " + StoragePath() + " - No such file or directory."});
}

TEST_F(AgentCoreFiles, SystemInformationHasTwelveLines) {
  ASSERT_TRUE(core_.WriteSystemInformation());
  const std::string text = dir_.Read("sysinfo.agt");
  ASSERT_FALSE(text.empty());
  EXPECT_EQ(text.back(), '\n');
  const std::vector<std::string> lines = test::Lines(text);
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "My Label");
  EXPECT_EQ(lines[1], "2");
  EXPECT_EQ(lines[2], "7");
  EXPECT_EQ(lines[3], SystemInfo::ComputerName());
  struct utsname u;
  ASSERT_EQ(uname(&u), 0);
  EXPECT_EQ(lines[4], std::to_string(SystemInfo::ProcessorTypeOf(u.machine)));
  EXPECT_EQ(lines[5], "");
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], "");
  EXPECT_EQ(lines[8], lines[10] + "." + lines[11]);
  EXPECT_EQ(lines[9], u.sysname);
  int major = 0;
  int minor = 0;
  SystemInfo::ParseRelease(u.release, &major, &minor);
  EXPECT_EQ(lines[10], std::to_string(major));
  EXPECT_EQ(lines[11], std::to_string(minor));
}

TEST_F(AgentCoreFiles, SystemInformationWithEmptyLabelStillHasTwelveLines) {
  AgentCore core;
  dir_.Write("empty-label.cfg", "one\n" + dir_.Path() + "\nthree\n\n.1\n");
  ASSERT_TRUE(core.ReadConfiguration(dir_.File("empty-label.cfg")));
  ASSERT_TRUE(core.WriteSystemInformation());
  const std::vector<std::string> lines = test::Lines(dir_.Read("sysinfo.agt"));
  ASSERT_EQ(lines.size(), 12u);
  EXPECT_EQ(lines[0], "");
}

TEST_F(AgentCoreFiles, UnwritableSystemInformationIsCritical) {
  AgentCore core;
  const std::string missingDir = dir_.Path() + "/missing";
  dir_.Write("bad.cfg", "one\n" + missingDir + "\nthree\nlabel\n.1\n");
  ASSERT_TRUE(core.ReadConfiguration(dir_.File("bad.cfg")));
  EXPECT_FALSE(core.WriteSystemInformation());
  EXPECT_EQ(log_.Texts(), std::vector<std::string>{"CRITICAL: Unable to open file " + missingDir +
                                                   "/sysinfo.agt - No such file or directory"});
}

class ProgramDirectory : public ::testing::Test {
 protected:
  static std::string Cwd() { return test::WorkingDirectory::Current(); }

  test::TempDir dir_;
  test::WorkingDirectory saved_;  // left before dir_ is removed
};

TEST_F(ProgramDirectory, PathWithFolderEntersIt) {
  AgentCore core;
  core.EnterProgramDirectory(dir_.Path() + "/KORAgent");
  EXPECT_EQ(Cwd(), dir_.Path());
  EXPECT_EQ(core.ProgramDirectory(), dir_.Path());
}

TEST_F(ProgramDirectory, PathWithoutFolderKeepsTheCurrentDirectory) {
  AgentCore core;
  core.EnterProgramDirectory("KORAgent");
  EXPECT_EQ(Cwd(), saved_.Saved());
  core.EnterProgramDirectory("/KORAgent");
  EXPECT_EQ(Cwd(), saved_.Saved());
  core.EnterProgramDirectory(dir_.Path() + "/missing/KORAgent");
  EXPECT_EQ(Cwd(), saved_.Saved());
  EXPECT_EQ(core.ProgramDirectory(), saved_.Saved());
}

TEST_F(ProgramDirectory, StartHostReadsTheConfigurationOfTheProgramDirectory) {
  test::EventLogCapture log;
  AgentCore core;
  // A service's low soft open-files limit is raised first of all.
  struct rlimit saved {};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  struct rlimit lowered = saved;
  lowered.rlim_cur = 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &lowered), 0);
  // No KORAgent.cfg: exit code 2 and the CRITICAL event with the bare name.
  EXPECT_EQ(core.StartHost(dir_.Path() + "/KORAgent", nullptr), 2);
  EXPECT_GT(OpenFileLimit::Current(), 64u);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_EQ(log.Texts(),
            std::vector<std::string>{"CRITICAL: Unable to open file KORAgent.cfg - No such file or directory"});

  dir_.Write("KORAgent.cfg", "one\n" + dir_.Path() + "/nowhere\nthree\nlabel\n.1\n");
  EXPECT_EQ(core.StartHost(dir_.Path() + "/KORAgent", nullptr), 3);

  dir_.Write("KORAgent.cfg", "one\n" + dir_.Path() + "\nthree\nlabel\n.1.0\n");
  EXPECT_EQ(core.StartHost(dir_.Path() + "/KORAgent", nullptr), 2);

  dir_.Write("KORAgent.cfg", "one\n" + dir_.Path() + "\nthree\nlabel\n.1.3\n");
  dir_.Write("storage.ini", "600\n");
  EXPECT_EQ(core.StartHost(dir_.Path() + "/KORAgent", nullptr), 0);
  EXPECT_EQ(core.PollingInterval(), 600);
  EXPECT_EQ(core.AgentDirectory(), dir_.Path());
  EXPECT_TRUE(dir_.Exists("sysinfo.agt"));
}

}  // namespace
}  // namespace orla
