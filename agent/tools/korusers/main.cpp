// korusers: manages the web server's users (see UsersCommand), in the data
// directory of the agent whose program directory holds the tool, unless -d
// names another.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "agent/core/agent_layout.h"
#include "agent/core/agent_settings.h"
#include "agent/core/audit_trail.h"
#include "platform/text/regular_file.h"
#include "platform/zepa/users_command.h"

namespace {

// The terminal settings to put back when a signal ends the program at the
// password prompt (Ctrl-C), so that the shell does not go on without echo.
termios g_savedTerminal{};
volatile sig_atomic_t g_terminalChanged = 0;
const int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

void RestoreTerminalAndDie(int signal) {
  if (g_terminalChanged) tcsetattr(STDIN_FILENO, TCSANOW, &g_savedTerminal);
  // Then end as the signal would have ended the program.
  struct sigaction action{};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
  raise(signal);
}

bool ReadHidden(const std::string& prompt, std::string* line) {
  std::cerr << prompt << std::flush;
  termios old{};
  const bool tty = tcgetattr(STDIN_FILENO, &old) == 0;
  struct sigaction previous[sizeof(kEndingSignals) / sizeof(kEndingSignals[0])];
  if (tty) {
    g_savedTerminal = old;
    struct sigaction action{};
    action.sa_handler = RestoreTerminalAndDie;
    sigemptyset(&action.sa_mask);
    for (size_t i = 0; i < sizeof(kEndingSignals) / sizeof(kEndingSignals[0]); ++i) {
      sigaction(kEndingSignals[i], &action, &previous[i]);
    }
    termios quiet = old;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    g_terminalChanged = 1;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  const bool ok = static_cast<bool>(std::getline(std::cin, *line));
  if (tty) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &old);
    g_terminalChanged = 0;
    for (size_t i = 0; i < sizeof(kEndingSignals) / sizeof(kEndingSignals[0]); ++i) {
      sigaction(kEndingSignals[i], &previous[i], nullptr);
    }
    std::cerr << "\n";
  }
  return ok;
}

bool AskPassword(const std::string& prompt, std::string* password) {
  if (!isatty(STDIN_FILENO)) return static_cast<bool>(std::getline(std::cin, *password));
  std::string again;
  if (!ReadHidden(prompt, password) || !ReadHidden("Again: ", &again)) return false;
  if (*password != again) {
    std::cerr << "korusers: the two passwords differ\n";
    return false;
  }
  return true;
}

// The agent directory's change file for the data directory the tool works
// in: the data directory is the agent directory's path followed by "ZEPD"
// (AgentLayout), whether -d names it or KORAgent.cfg beside the tool does.
// Empty when -d names a folder of no agent.
std::string ChangeFile(const std::vector<std::string>& args, const std::string& programDirectory) {
  static const std::string kSuffix = "ZEPD";
  for (size_t i = 0; i + 1 < args.size() && !args[i].empty() && args[i][0] == '-'; ++i) {
    if (args[i] != "-d" && args[i] != "--data-dir") continue;
    std::string data = args[i + 1];
    while (data.size() > 1 && data.back() == '/') data.pop_back();
    if (data.size() <= kSuffix.size() || data.compare(data.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
      return std::string();
    }
    return orla::AgentLayout("", data.substr(0, data.size() - kSuffix.size())).ChangeFile();
  }
  orla::AgentLayout layout;
  std::string error;
  return orla::AgentLayout::Read(programDirectory, &layout, &error) ? layout.ChangeFile() : std::string();
}

}  // namespace

int main(int argc, char** argv) {
  // The event-log file setting, for what the web server library logs. None
  // of the ports concerns the tool: a bad one is left to the agent to report.
  orla::AgentSettings::Load();
  // Who runs the tool, asked before it takes the data directory owner's ids.
  const orla::AuditTrail::Actor actor = orla::AuditTrail::LocalUser();
  std::vector<std::string> args(argv + 1, argv + argc);
  const std::string programDirectory = orla::AgentLayout::RunningProgramDirectory();
  const std::string changeFile = ChangeFile(args, programDirectory);
  orla::AuditTrail::SetChangeFile(changeFile);
  orla::UsersCommand::DefaultDataDirectory defaultDirectory;
  defaultDirectory.find = [&programDirectory](std::string* directory, std::string* error) {
    orla::AgentLayout layout;
    if (!orla::AgentLayout::Read(programDirectory, &layout, error)) return false;
    *directory = layout.WebDataDirectory();
    return true;
  };
  defaultDirectory.description =
      " The data directory defaults\n"
      "to the agent directory of KORAgent.cfg beside korusers followed by ZEPD.\n";
  // Run as root, the tool works as the data directory's owner (the agent's
  // user), so that the agent can read the files it writes.
  // Every change is an audit event naming who ran the tool.
  return orla::UsersCommand::Run(args, defaultDirectory, AskPassword, std::cout, std::cerr,
                                 orla::UsersCommand::ActAsOwner, [&](const std::string& what) {
                                   const int err = orla::AuditTrail::Record(actor, what);
                                   if (err != 0) {
                                     std::cerr << "korusers: the change was made, but not recorded in "
                                               << orla::RegularFile::Describe(changeFile, err) << "\n";
                                   }
                                 });
}
