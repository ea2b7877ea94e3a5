#pragma once
// A distribution folder for the setup launcher's tests: component folders
// with "install.dat" files and fake installers, a registry tree, an error
// file path and a log. Each fake installer appends one line to the log,
//   <folder>|<argument count>|<arguments>|<current directory>|<fd 7 open?>
// then leaves the error file when told to and exits with its chosen code.
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace orla::test {

class FakeDistribution {
 public:
  FakeDistribution();

  // Adds a component folder under "client/" or "agent/NT Intel/".
  void AddClient(const std::string& folder, const std::string& id, const std::string& prerequisite = "none",
                 const std::string& version = "1.0");
  void AddAgent(const std::string& folder, const std::string& id, const std::string& prerequisite = "none",
                const std::string& version = "1.0");

  // What a component's installer does (folder as given to Add...).
  void SetExitCode(const std::string& folder, int code);
  void SetLeavesErrorFile(const std::string& folder);
  void SetKillsItself(const std::string& folder);
  void RemoveInstaller(const std::string& folder);

  // Creates the versioned registry key of `id` (registry name "Reg<id>").
  void Install(const std::string& id, const std::string& version = "1.0");

  // The log lines written so far, in order.
  std::vector<std::string> LogLines() const;
  // The folder part of each log line.
  std::vector<std::string> InstalledFolders() const;

  std::string Base() const { return dir_.Path() + "/dist"; }
  std::string RegistryRoot() const { return dir_.Path() + "/registry"; }
  std::string ErrorFile() const { return dir_.Path() + "/ORLAerror.txt"; }
  std::string LogFile() const { return dir_.Path() + "/installers.log"; }
  std::string ComponentDirectory(const std::string& folder) const;
  const TempDir& Dir() const { return dir_; }

 private:
  void Add(const std::string& group, const std::string& folder, const std::string& id,
           const std::string& prerequisite, const std::string& version);

  TempDir dir_;
  std::vector<std::pair<std::string, std::string>> folders_;  // folder, group
};

}  // namespace orla::test
