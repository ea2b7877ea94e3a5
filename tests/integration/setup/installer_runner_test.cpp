// The installer runner with real processes: fake installers that log their
// arguments and current directory, exit with a chosen code or leave the
// error file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>

#include "platform/setupkit/registry_tree.h"
#include "setup/installer_runner.h"
#include "tests/integration/setup/fake_distribution.h"

namespace orla {
namespace {

using Group = SelectionModel::Group;
using Strings = std::vector<std::string>;

class InstallerRunnerTest : public ::testing::Test {
 protected:
  // Discovers the distribution and builds the dialog's model over it.
  SelectionModel& Model() {
    if (!model_) {
      catalogue_.Discover(dist_.Base());
      catalogue_.Arrange();
      model_ = std::make_unique<SelectionModel>(catalogue_, registry_);
    }
    return *model_;
  }

  // Clicks the box of the component with `id`.
  void Check(const std::string& id) {
    SelectionModel& model = Model();
    for (Group group : {Group::kClient, Group::kAgent}) {
      for (size_t i = 0; i < model.Count(group); ++i) {
        if (model.ComponentAt(group, i).id == id) {
          ASSERT_TRUE(model.Toggle(group, i)) << id;
          return;
        }
      }
    }
    FAIL() << "no component " << id;
  }

  InstallerRunner::Outcome Run() {
    InstallerRunner runner(dist_.ErrorFile());
    return runner.Run(Model());
  }

  test::FakeDistribution dist_;
  RegistryTree registry_{dist_.RegistryRoot()};
  ComponentCatalogue catalogue_;
  std::unique_ptr<SelectionModel> model_;
};

TEST_F(InstallerRunnerTest, RunsSelectedInstallersInListOrderWithTheirCommandWords) {
  dist_.AddClient("Base", "C100");
  dist_.AddClient("Library", "C5", "C100");
  dist_.AddClient("Viewer", "C6");
  dist_.AddAgent("TapeAgent", "A100");
  dist_.AddAgent("SwitchAgent", "A200", "A100");
  Check("C5");
  Check("A200");

  // A descriptor the runner does not hand down to installers.
  const int fd = open("/dev/null", O_RDONLY);
  ASSERT_GE(dup2(fd, 7), 0);
  InstallerRunner::Outcome outcome = Run();
  close(7);
  close(fd);

  // The base, forced in as not installed, is repaired; other clients
  // install quietly; an agent after clients runs interactively (no words).
  EXPECT_EQ(dist_.LogLines(),
            (Strings{"Base|1|repair|" + dist_.ComponentDirectory("Base") + "|closed",
                     "Library|1|quiet|" + dist_.ComponentDirectory("Library") + "|closed",
                     "SwitchAgent|0||" + dist_.ComponentDirectory("SwitchAgent") + "|closed"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kNone);
  EXPECT_EQ(outcome.failed, nullptr);
  EXPECT_EQ(outcome.installers_started, 3);
}

TEST_F(InstallerRunnerTest, SilentInstallsRunTheBaseQuietly) {
  dist_.AddClient("Base", "C100");
  dist_.AddClient("Library", "C5");
  Check("C5");
  Model().SetSilentInstalls(true);
  Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Base", "Library"}));
  EXPECT_EQ(dist_.LogLines()[0].substr(0, 13), "Base|1|quiet|");
}

TEST_F(InstallerRunnerTest, AgentsInstallQuietlyWhenThereAreNoClients) {
  dist_.AddAgent("TapeAgent", "A100");
  dist_.AddAgent("SwitchAgent", "A200");
  Check("A100");
  Check("A200");
  Run();
  const Strings lines = dist_.LogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "TapeAgent|1|quiet|" + dist_.ComponentDirectory("TapeAgent") + "|closed");
  EXPECT_EQ(lines[1], "SwitchAgent|1|quiet|" + dist_.ComponentDirectory("SwitchAgent") + "|closed");
}

TEST_F(InstallerRunnerTest, InstalledBaseIsNotRunAgain) {
  dist_.AddClient("Base", "C100");
  dist_.AddClient("Library", "C5", "C100");
  dist_.Install("C100");
  Check("C5");
  Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Library"}));
}

// An error file that cannot be deleted would stop every run after its first
// installer: nothing is started, and the outcome names the file's failure.
TEST_F(InstallerRunnerTest, AnErrorFileThatCannotBeDeletedStopsBeforeAnyInstaller) {
  dist_.AddClient("Library", "C5");
  dist_.AddClient("Viewer", "C6");
  // unlink() of a directory fails (EISDIR) for every user, root included.
  std::filesystem::create_directory(dist_.ErrorFile());
  Check("C5");
  Check("C6");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), Strings{});
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kErrorFileNotDeleted);
  EXPECT_EQ(outcome.error_file_error, EISDIR);
  EXPECT_EQ(outcome.installers_started, 0);
  EXPECT_EQ(InstallerRunner::FailureText(outcome),
            "setup: the error file " + dist_.ErrorFile() + " cannot be deleted: Is a directory; no installer was run\n");
}

// A walk over the checked components that ends early, or runs through after
// clearing a stale error file.
struct Walk {
  const char* name;
  std::function<void(test::FakeDistribution&)> arrange;  // components and what their installers do
  Strings checked;
  Strings installed;  // the folders whose installers ran
  InstallerRunner::Stop stop;
  int exitCode;
  const char* failed;  // id of the component that failed, if any
};

void PrintTo(const Walk& walk, std::ostream* os) { *os << walk.name; }

class InstallerRunnerWalk : public InstallerRunnerTest, public ::testing::WithParamInterface<Walk> {};

TEST_P(InstallerRunnerWalk, StopsAtTheFirstFailureAndLeavesNoErrorFile) {
  const Walk& w = GetParam();
  w.arrange(dist_);
  for (const std::string& id : w.checked) Check(id);
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), w.installed);
  EXPECT_EQ(outcome.stop, w.stop);
  EXPECT_EQ(outcome.exit_code, w.exitCode);
  EXPECT_EQ(outcome.start_error, w.stop == InstallerRunner::Stop::kStartFailed ? ENOENT : 0);
  if (w.failed == nullptr) {
    EXPECT_EQ(outcome.failed, nullptr);
  } else {
    ASSERT_NE(outcome.failed, nullptr);
    EXPECT_EQ(outcome.failed->id, w.failed);
  }
  // An error file, left now or by an earlier run, is deleted.
  EXPECT_FALSE(std::filesystem::exists(dist_.ErrorFile()));
}

using Stop = InstallerRunner::Stop;
INSTANTIATE_TEST_SUITE_P(
    Outcomes, InstallerRunnerWalk,
    ::testing::Values(
        Walk{"NonZeroExit",
             [](test::FakeDistribution& d) {
               d.AddClient("Base", "C100");
               d.AddClient("Library", "C5");
               d.AddClient("Viewer", "C6");
               d.AddAgent("TapeAgent", "A100");
               d.SetExitCode("Library", 3);
             },
             {"C100", "C5", "C6", "A100"}, {"Base", "Library"}, Stop::kExitCode, 3, "C5"},
        Walk{"ErrorFileLeftWithExitZero",
             [](test::FakeDistribution& d) {
               d.AddClient("Library", "C5");
               d.AddClient("Viewer", "C6");
               d.AddAgent("TapeAgent", "A100");
               d.SetLeavesErrorFile("Viewer");
             },
             {"C5", "C6", "A100"}, {"Library", "Viewer"}, Stop::kErrorFile, 0, "C6"},
        Walk{"InstallerCannotStart",
             [](test::FakeDistribution& d) {
               d.AddClient("Library", "C5");
               d.AddClient("Viewer", "C6");
               d.AddClient("Writer", "C7");
               d.RemoveInstaller("Viewer");
             },
             {"C5", "C6", "C7"}, {"Library"}, Stop::kStartFailed, 0, "C6"},
        Walk{"InstallerEndedBySignal",
             [](test::FakeDistribution& d) {
               d.AddClient("Library", "C5");
               d.AddClient("Viewer", "C6");
               d.SetKillsItself("Library");
             },
             {"C5", "C6"}, {"Library"}, Stop::kExitCode, 128 + 9, "C5"},
        Walk{"StaleErrorFileIsDeletedFirst",
             [](test::FakeDistribution& d) {
               d.AddClient("Library", "C5");
               d.AddClient("Viewer", "C6");
               d.Dir().Write("ORLAerror.txt", "left from an earlier run");
             },
             {"C5", "C6"}, {"Library", "Viewer"}, Stop::kNone, 0, nullptr}),
    [](const ::testing::TestParamInfo<Walk>& info) { return std::string(info.param.name); });

TEST_F(InstallerRunnerTest, NothingSelectedStartsNothing) {
  dist_.AddClient("Base", "C100");
  dist_.AddClient("Library", "C5");
  dist_.AddAgent("TapeAgent", "A100");
  // Checked and unchecked again: the flags are recomputed from the boxes.
  Check("C5");
  Check("C5");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_FALSE(std::filesystem::exists(dist_.LogFile()));
  EXPECT_EQ(outcome.installers_started, 0);
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kNone);
}

}  // namespace
}  // namespace orla
