#include "installer_runner.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/setupkit/file_search.h"
#include "platform/setupkit/process_runner.h"
#include "platform/text/string_printf.h"

namespace orla {

InstallerRunner::InstallerRunner(std::string error_file) : error_file_(std::move(error_file)) {}

std::string InstallerRunner::CommandLineFor(const Component& component, bool silent_installs, bool agent_phase) {
  if (component.id == "C100") return silent_installs ? kQuiet : kRepair;
  if (agent_phase) return std::string();
  return kQuiet;
}

int InstallerRunner::DeleteErrorFile() const {
  if (::unlink(error_file_.c_str()) == 0 || errno == ENOENT) return 0;
  return errno;
}

std::string InstallerRunner::FailureText(const Outcome& outcome) {
  if (outcome.stop == Stop::kErrorFileNotDeleted) {
    return StringPrintf("setup: the error file %s cannot be deleted: %s; no installer was run\n",
                        outcome.error_file.c_str(), std::strerror(outcome.error_file_error));
  }
  if (outcome.failed == nullptr) return "";
  const std::string installer = outcome.failed->directory + kInstallerName;
  std::string text;
  switch (outcome.stop) {
    case Stop::kStartFailed:
      text = StringPrintf("setup: %s could not be started: %s\n", installer.c_str(),
                          std::strerror(outcome.start_error));
      break;
    case Stop::kExitCode:
      text = StringPrintf("setup: %s failed with exit code %d; the remaining installers were not run\n",
                          installer.c_str(), outcome.exit_code);
      break;
    case Stop::kErrorFile:
      text = StringPrintf("setup: %s reported a failure; the remaining installers were not run\n",
                          installer.c_str());
      break;
    case Stop::kNone:
    case Stop::kErrorFileNotDeleted:
      break;
  }
  if (outcome.error_file_error != 0) {
    // The next run would stop at once on it.
    text += StringPrintf("setup: the error file %s cannot be deleted: %s\n", outcome.error_file.c_str(),
                         std::strerror(outcome.error_file_error));
  }
  return text;
}

InstallerRunner::Outcome InstallerRunner::Run(SelectionModel& model) {
  Outcome outcome;
  model.MarkCheckedSelected();
  model.ResolvePrerequisites();

  ComponentList& clients = model.Clients();
  ComponentList& agents = model.Agents();

  // Walk state: the list being walked, whether it is the agent list, and
  // whether the walk came to the agent list after the client list.
  ComponentList* list = &clients;
  bool list_phase = false;
  bool agent_phase = false;
  if (clients.empty()) {
    list = &agents;
    list_phase = true;
  }
  size_t index = 0;
  bool started = true;
  int last_exit_code = 0;

  // A stale error file that stays would be taken for the first installer's
  // failure, on this run and every later one.
  outcome.error_file = error_file_;
  if (const int error = DeleteErrorFile(); error != 0) {
    outcome.stop = Stop::kErrorFileNotDeleted;
    outcome.error_file_error = error;
    return outcome;
  }

  while (index < list->size() && started && last_exit_code == 0) {
    const Component& component = *(*list)[index];
    if (component.selected) {
      const std::string command_line = CommandLineFor(component, model.SilentInstalls(), agent_phase);
      if (listener_) listener_(component, command_line);
      const ProcessRunner::Result result =
          ProcessRunner::Run(component.directory + kInstallerName, command_line, component.directory);
      started = result.started;
      if (started) {
        ++outcome.installers_started;
        if (result.waited) last_exit_code = result.exit_code;
      } else {
        outcome.stop = Stop::kStartFailed;
        outcome.start_error = result.start_error;
        outcome.failed = &component;
      }
      if (started && last_exit_code != 0) {
        outcome.stop = Stop::kExitCode;
        outcome.failed = &component;
      }
      // An error file left behind means this installer failed. It is deleted
      // so that it never stops a later run.
      if (FileSearch::Exists(error_file_)) {
        outcome.error_file_error = DeleteErrorFile();
        if (started) {
          started = false;
          if (outcome.stop == Stop::kNone) {
            outcome.stop = Stop::kErrorFile;
            outcome.failed = &component;
          }
        }
      }
    }
    ++index;
    if (index >= list->size() && !list_phase) {
      list = &agents;
      index = 0;
      list_phase = true;
      agent_phase = true;
    }
  }
  outcome.exit_code = last_exit_code;
  return outcome;
}

}  // namespace orla
