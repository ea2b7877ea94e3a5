// The setup program driven as a person would: run in a real terminal under
// tmux, keys sent to it, the screen read back with capture-pane.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/integration/setup/fake_distribution.h"
#include "tests/support/shell_command.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

using Strings = std::vector<std::string>;

std::string Quote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted += c;
    }
  }
  return quoted + "'";
}

// Runs a shell command; returns its output (error output included) and sets
// its exit status.
std::string Shell(const std::string& command, int* status = nullptr) {
  return test::CommandOutput(command + " 2>&1", status);
}

// Copies the program into the distribution, as it ships at its root.
std::string PlaceProgram(const test::FakeDistribution& dist) {
  const std::string program = dist.Base() + "/setup";
  std::filesystem::copy_file(SETUP_PROGRAM, program, std::filesystem::copy_options::overwrite_existing);
  return program;
}

// One tmux server of its own (socket in the test folder) running setup.
class TmuxSession {
 public:
  TmuxSession(const test::FakeDistribution& dist, int columns, int rows)
      : socket_(dist.Dir().File("tmux.sock")), exit_file_(dist.Dir().File("exit-status")) {
    const std::string program = PlaceProgram(dist);
    const std::string command = Quote(program) + "; echo $? > " + Quote(exit_file_);
    int status = 0;
    const std::string out = Shell(Tmux() + " -f /dev/null new-session -d -x " + std::to_string(columns) + " -y " +
                                      std::to_string(rows) + " -e " + Quote("ORLA_REGISTRY_ROOT=" + dist.RegistryRoot()) +
                                      " -e " + Quote("ORLA_ERROR_FILE=" + dist.ErrorFile()) + " " + Quote(command) +
                                      " \\; set-option -g remain-on-exit on",
                                  &status);
    EXPECT_EQ(status, 0) << out;
  }
  ~TmuxSession() { Shell(Tmux() + " kill-server"); }

  void Keys(const Strings& keys) {
    std::string command = Tmux() + " send-keys";
    for (const std::string& key : keys) command += " " + Quote(key);
    Shell(command);
  }

  // The screen as text; with attributes, SGR sequences mark dim, reverse...
  std::string Screen(bool attributes = false) {
    return Shell(Tmux() + " capture-pane -p" + (attributes ? " -e" : ""));
  }

  // The screen with the lines that scrolled off it.
  std::string Transcript() { return Shell(Tmux() + " capture-pane -p -S -"); }

  // Waits until the screen shows `text`; false after the deadline.
  bool WaitFor(const std::string& text, bool attributes = false) {
    return test::WaitUntil([&] { return Screen(attributes).find(text) != std::string::npos; }, 20s, 50ms);
  }

  // Waits until the transcript holds `text`; false after the deadline.
  bool WaitForTranscript(const std::string& text) {
    return test::WaitUntil([&] { return Transcript().find(text) != std::string::npos; }, 20s, 50ms);
  }

  // Waits for the program to end; its exit status, or -1 after the deadline.
  int WaitForExit() {
    int status = -1;
    const bool ended = test::WaitUntil(
        [&] {
          std::ifstream in(exit_file_);
          return static_cast<bool>(in >> status);
        },
        30s, 50ms);
    return ended ? status : -1;
  }

 private:
  std::string Tmux() const { return "tmux -S " + Quote(socket_); }

  std::string socket_;
  std::string exit_file_;
};

class SetupDialogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dist_.AddClient("Base", "C100");
    dist_.AddClient("Library", "C5", "C100");
    dist_.AddClient("Viewer", "C6");
    dist_.AddAgent("TapeAgent", "A100");
    dist_.AddAgent("SwitchAgent", "A200");
  }

  test::FakeDistribution dist_;
};

TEST_F(SetupDialogTest, ShowsTheDialogTextsAndComponentsRowByRow) {
  TmuxSession tmux(dist_, 100, 30);
  ASSERT_TRUE(tmux.WaitFor("Quillane Command Console")) << tmux.Screen();
  const std::string screen = tmux.Screen();
  for (const char* text : {"ORLA Setup", "Select the applications that match the Quillane products", "ORLA support.",
                           "Client Applications", "Agent Applications", "[ Next> ]", "[ Cancel ]"}) {
    EXPECT_NE(screen.find(text), std::string::npos) << text << "\n" << screen;
  }
  // Two columns filled row by row: base and library share the first row.
  const Strings rows = test::Lines(screen);
  auto row_of = [&](const std::string& text) {
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i].find(text) != std::string::npos) return static_cast<int>(i);
    }
    return -1;
  };
  EXPECT_EQ(row_of("[ ] Component Base"), row_of("[ ] Component Library"));
  EXPECT_EQ(row_of("[ ] Component Viewer"), row_of("[ ] Component Base") + 1);
  EXPECT_EQ(row_of("[ ] Component TapeAgent"), row_of("[ ] Component SwitchAgent"));
  EXPECT_GT(row_of("Agent Applications"), row_of("[ ] Component Viewer"));
  EXPECT_LT(screen.find("[ ] Component Library"), screen.find("Component Viewer"));
  // "&Next>" shows its N underlined.
  EXPECT_TRUE(tmux.WaitFor("\x1b[4mN", true)) << tmux.Screen(true);
  // The hidden option boxes are not shown.
  EXPECT_EQ(screen.find("Create Script Only"), std::string::npos);
  EXPECT_EQ(screen.find("Silent Installs"), std::string::npos);

  tmux.Keys({"Escape"});
  EXPECT_EQ(tmux.WaitForExit(), 0);
  EXPECT_FALSE(std::filesystem::exists(dist_.LogFile()));
}

TEST_F(SetupDialogTest, ForcedBaseShowsCheckedAndDisabledAndIsReleased) {
  TmuxSession tmux(dist_, 100, 30);
  ASSERT_TRUE(tmux.WaitFor("[ ] Component Base")) << tmux.Screen();

  // Focus starts on the base; Tab moves to the library, Space checks it.
  tmux.Keys({"Tab", "Space"});
  ASSERT_TRUE(tmux.WaitFor("[X] Component Library")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("[X] Component Base"), std::string::npos) << tmux.Screen();
  // The forced base is drawn dim (disabled); the library is not.
  const std::string attributed = tmux.Screen(true);
  EXPECT_NE(attributed.find("\x1b[2m[X] Component Base"), std::string::npos) << attributed;
  EXPECT_EQ(attributed.find("\x1b[2m[X] Component Library"), std::string::npos) << attributed;

  // Unchecking the library releases the base.
  tmux.Keys({"Space"});
  ASSERT_TRUE(tmux.WaitFor("[ ] Component Library")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("[ ] Component Base"), std::string::npos) << tmux.Screen();
  EXPECT_EQ(tmux.Screen(true).find("\x1b[2m"), std::string::npos) << tmux.Screen(true);

  // Checked again, then the focus moves back: the disabled base is passed
  // over, so Shift-Tab wraps round to "Cancel", and Space presses it.
  tmux.Keys({"Space"});
  ASSERT_TRUE(tmux.WaitFor("\x1b[2m[X] Component Base", true)) << tmux.Screen(true);
  tmux.Keys({"BTab", "Space"});
  EXPECT_EQ(tmux.WaitForExit(), 0);
  EXPECT_FALSE(std::filesystem::exists(dist_.LogFile()));
}

TEST_F(SetupDialogTest, InstalledBaseIsNotForced) {
  dist_.Install("C100");
  TmuxSession tmux(dist_, 100, 30);
  ASSERT_TRUE(tmux.WaitFor("[ ] Component Base")) << tmux.Screen();
  tmux.Keys({"Tab", "Space"});
  ASSERT_TRUE(tmux.WaitFor("[X] Component Library")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("[ ] Component Base"), std::string::npos) << tmux.Screen();
  tmux.Keys({"Escape"});
  EXPECT_EQ(tmux.WaitForExit(), 0);
}

TEST_F(SetupDialogTest, NextRunsTheChosenInstallersAfterGivingBackTheTerminal) {
  TmuxSession tmux(dist_, 100, 30);
  ASSERT_TRUE(tmux.WaitFor("[ ] Component Base")) << tmux.Screen();
  // Library (forcing the base), then the second agent; N presses "&Next>".
  tmux.Keys({"Right", "Space", "Down", "Down", "Down", "Space"});
  ASSERT_TRUE(tmux.WaitFor("[X] Component SwitchAgent")) << tmux.Screen();
  tmux.Keys({"n"});
  EXPECT_EQ(tmux.WaitForExit(), 0) << tmux.Screen();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Base", "Library", "SwitchAgent"}));
  const Strings lines = dist_.LogLines();
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].substr(0, 12), "Base|1|repai");
  EXPECT_EQ(lines[2].substr(0, 14), "SwitchAgent|0|");
  // The program has ended: what it printed after the dialog may have
  // scrolled off the screen.
  EXPECT_TRUE(tmux.WaitForTranscript("setup: running " + dist_.ComponentDirectory("Base") + "/setup repair"))
      << tmux.Transcript();
}

TEST_F(SetupDialogTest, EnterOnABoxPressesNextAndAFailureIsReported) {
  dist_.SetExitCode("Library", 4);
  TmuxSession tmux(dist_, 100, 30);
  ASSERT_TRUE(tmux.WaitFor("[ ] Component Base")) << tmux.Screen();
  tmux.Keys({"Space", "Tab", "Space", "Tab", "Space"});
  ASSERT_TRUE(tmux.WaitFor("[X] Component Viewer")) << tmux.Screen();
  tmux.Keys({"Enter"});
  EXPECT_EQ(tmux.WaitForExit(), 1) << tmux.Screen();
  EXPECT_EQ(dist_.InstalledFolders(), (Strings{"Base", "Library"}));
  EXPECT_TRUE(tmux.WaitForTranscript("failed with exit code 4")) << tmux.Transcript();
}

TEST(SetupDialogLayout, MoreComponentsThanBoxesGrowTheGroupsAndScroll) {
  test::FakeDistribution dist;
  char folder[8];
  for (int i = 1; i <= 20; ++i) {
    std::snprintf(folder, sizeof folder, "F%02d", i);
    dist.AddClient(folder, "C" + std::to_string(i));
  }
  for (int i = 1; i <= 9; ++i) {
    std::snprintf(folder, sizeof folder, "G%02d", i);
    dist.AddAgent(folder, "A" + std::to_string(i));
  }
  TmuxSession tmux(dist, 80, 24);
  ASSERT_TRUE(tmux.WaitFor("[ ] Component F20")) << tmux.Screen();
  const std::string top = tmux.Screen();
  EXPECT_NE(top.find("more v"), std::string::npos) << top;
  EXPECT_NE(top.find("[ ] Component F19"), std::string::npos) << top;

  // The ninth agent has a box too; on to "&Next>", the dialog scrolls to
  // show the buttons.
  tmux.Keys(Strings(28, "Tab"));
  tmux.Keys({"Space"});
  ASSERT_TRUE(tmux.WaitFor("[X] Component G09")) << tmux.Screen();
  EXPECT_EQ(tmux.Screen().find("[ Next> ]"), std::string::npos) << tmux.Screen();
  tmux.Keys({"Tab"});
  ASSERT_TRUE(tmux.WaitFor("[ Next> ]")) << tmux.Screen();
  EXPECT_NE(tmux.Screen().find("more ^"), std::string::npos) << tmux.Screen();
  EXPECT_EQ(tmux.Screen().find("Quillane Command Console"), std::string::npos) << tmux.Screen();
  tmux.Keys({"Space"});
  EXPECT_EQ(tmux.WaitForExit(), 0) << tmux.Screen();
  EXPECT_EQ(dist.InstalledFolders(), (Strings{"G09"}));
}

TEST(SetupProgram, RefusesToRunWithoutATerminal) {
  test::FakeDistribution dist;
  dist.AddClient("Base", "C100");
  const std::string program = PlaceProgram(dist);
  int status = 0;
  const std::string out = Shell(Quote(program) + " </dev/null", &status);
  EXPECT_EQ(status, 1);
  EXPECT_NE(out.find("terminal"), std::string::npos) << out;
  EXPECT_FALSE(std::filesystem::exists(dist.LogFile()));
}

}  // namespace
}  // namespace orla
