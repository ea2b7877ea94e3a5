// The installer runner with real processes: fake installers that log their
// arguments and current directory, exit with a chosen code or leave the
// error file behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

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

TEST_F(InstallerRunnerTest, NonZeroExitStopsBeforeTheNextComponent) {
  dist_.AddClient("Base", "C100");
  dist_.AddClient("Library", "C5");
  dist_.AddClient("Viewer", "C6");
  dist_.AddAgent("TapeAgent", "A100");
  dist_.SetExitCode("Library", 3);
  Check("C100");
  Check("C5");
  Check("C6");
  Check("A100");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Base", "Library"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kExitCode);
  EXPECT_EQ(outcome.exit_code, 3);
  ASSERT_NE(outcome.failed, nullptr);
  EXPECT_EQ(outcome.failed->id, "C5");
}

TEST_F(InstallerRunnerTest, ErrorFileLeftWithExitZeroStopsAndIsDeleted) {
  dist_.AddClient("Library", "C5");
  dist_.AddClient("Viewer", "C6");
  dist_.AddAgent("TapeAgent", "A100");
  dist_.SetLeavesErrorFile("Viewer");
  Check("C5");
  Check("C6");
  Check("A100");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Library", "Viewer"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kErrorFile);
  EXPECT_EQ(outcome.exit_code, 0);
  ASSERT_NE(outcome.failed, nullptr);
  EXPECT_EQ(outcome.failed->id, "C6");
  EXPECT_FALSE(std::filesystem::exists(dist_.ErrorFile()));
}

TEST_F(InstallerRunnerTest, StaleErrorFileIsDeletedBeforeTheFirstInstaller) {
  dist_.AddClient("Library", "C5");
  dist_.AddClient("Viewer", "C6");
  dist_.Dir().Write("ORLAerror.txt", "left from an earlier run");
  Check("C5");
  Check("C6");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Library", "Viewer"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kNone);
  EXPECT_FALSE(std::filesystem::exists(dist_.ErrorFile()));
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

TEST_F(InstallerRunnerTest, InstallerThatCannotStartOrDiesEndsTheWalk) {
  dist_.AddClient("Library", "C5");
  dist_.AddClient("Viewer", "C6");
  dist_.AddClient("Writer", "C7");
  dist_.RemoveInstaller("Viewer");
  Check("C5");
  Check("C6");
  Check("C7");
  InstallerRunner::Outcome outcome = Run();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Library"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kStartFailed);
  EXPECT_EQ(outcome.start_error, ENOENT);
  ASSERT_NE(outcome.failed, nullptr);
  EXPECT_EQ(outcome.failed->id, "C6");

  // An installer ended by a signal has failed too.
  test::FakeDistribution other;
  other.AddClient("Library", "C5");
  other.AddClient("Viewer", "C6");
  other.SetKillsItself("Library");
  ComponentCatalogue catalogue;
  catalogue.Discover(other.Base());
  RegistryTree registry(other.RegistryRoot());
  SelectionModel model(catalogue, registry);
  model.Toggle(Group::kClient, 0);
  model.Toggle(Group::kClient, 1);
  outcome = InstallerRunner(other.ErrorFile()).Run(model);
  EXPECT_EQ(other.InstalledFolders(), (Strings{"Library"}));
  EXPECT_EQ(outcome.stop, InstallerRunner::Stop::kExitCode);
  EXPECT_EQ(outcome.exit_code, 128 + 9);
}

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
