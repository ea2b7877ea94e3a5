#include "setup/installer_runner.h"

#include <unistd.h>

#include "platform/setupkit/file_search.h"
#include "platform/setupkit/process_runner.h"

namespace orla {

InstallerRunner::InstallerRunner(std::string error_file) : error_file_(std::move(error_file)) {}

std::string InstallerRunner::CommandLineFor(const Component& component, bool silent_installs, bool agent_phase) {
  if (component.id == "C100") return silent_installs ? kQuiet : kRepair;
  if (agent_phase) return std::string();
  return kQuiet;
}

void InstallerRunner::DeleteErrorFile() const { unlink(error_file_.c_str()); }

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

  DeleteErrorFile();

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
        DeleteErrorFile();
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
