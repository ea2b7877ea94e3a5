#pragma once
// Runs the installer of every selected component, one after the other, in
// list order (clients, then agents), and stops at the first failure: an
// installer that cannot be started, a non-zero exit code, or an error file
// left behind.
#include <functional>
#include <string>

#include "selection_model.h"

namespace orla {

class InstallerRunner {
 public:
  // The installer program in each component's folder.
  static constexpr const char* kInstallerName = "/setup";
  // Command lines, passed with their leading space; the installer gets
  // their words as its arguments.
  static constexpr const char* kRepair = " repair";
  static constexpr const char* kQuiet = " quiet";

  enum class Stop {
    kNone,          // every selected installer ran and succeeded
    kStartFailed,   // an installer could not be started
    kExitCode,      // an installer ended with a non-zero exit code
    kErrorFile,     // an installer left the error file behind
    kErrorFileNotDeleted,  // the error file of an earlier run cannot be
                           // deleted: no installer is run
  };

  struct Outcome {
    Stop stop = Stop::kNone;
    const Component* failed = nullptr;  // the component whose installer failed
    int exit_code = 0;                  // last exit code read
    int start_error = 0;                // errno of a failed start
    int error_file_error = 0;           // errno of a failed delete of the error file
    std::string error_file;             // its path
    int installers_started = 0;
  };

  // Told about each installer just before it starts.
  using StartListener = std::function<void(const Component& component, const std::string& command_line)>;

  explicit InstallerRunner(std::string error_file);

  void SetStartListener(StartListener listener) { listener_ = std::move(listener); }

  // Reads the boxes into the flags, resolves prerequisites, and runs the
  // selected installers. Blocks while each one runs.
  Outcome Run(SelectionModel& model);

  // The command line for a component: "C100" repairs unless installs are
  // silent; agents after client components run interactively (no command
  // line); everything else installs quietly.
  static std::string CommandLineFor(const Component& component, bool silent_installs, bool agent_phase);

  // What setup tells the user about an outcome that stopped the walk
  // (standard error); empty when every installer ran.
  static std::string FailureText(const Outcome& outcome);

 private:
  // Deletes the error file: 0 when it is gone (also when it was not there),
  // otherwise the errno of the failed delete.
  int DeleteErrorFile() const;

  std::string error_file_;
  StartListener listener_;
};

}  // namespace orla
