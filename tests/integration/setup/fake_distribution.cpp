#include "tests/integration/setup/fake_distribution.h"

#include <sys/stat.h>

#include <filesystem>
#include <stdexcept>

#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"

namespace orla::test {

FakeDistribution::FakeDistribution() {
  std::filesystem::create_directories(Base());
  std::filesystem::create_directories(RegistryRoot());
}

void FakeDistribution::AddClient(const std::string& folder, const std::string& id, const std::string& prerequisite,
                                 const std::string& version) {
  Add("client", folder, id, prerequisite, version);
}

void FakeDistribution::AddAgent(const std::string& folder, const std::string& id, const std::string& prerequisite,
                                const std::string& version) {
  Add("agent/NT Intel", folder, id, prerequisite, version);
}

std::string FakeDistribution::ComponentDirectory(const std::string& folder) const {
  for (const auto& [name, group] : folders_) {
    if (name == folder) return Base() + "/" + group + "/" + name;
  }
  throw std::runtime_error("no component folder " + folder);
}

void FakeDistribution::Add(const std::string& group, const std::string& folder, const std::string& id,
                           const std::string& prerequisite, const std::string& version) {
  folders_.emplace_back(folder, group);
  const std::string dir = ComponentDirectory(folder);
  std::filesystem::create_directories(dir);
  WriteFile(dir + "/install.dat", "name=Component " + folder + "\r\nsize=10\r\nid=" + id +
                                      "\r\nprereqs=" + prerequisite + "\r\nversion=" + version + "\r\nregname=Reg" +
                                      id + "\r\n");
  const std::string script =
      "#!/bin/sh\n"
      "fd7=closed; [ -e /proc/$$/fd/7 ] && fd7=open\n"
      "printf '%s|%s|%s|%s|%s\\n' \"$(basename \"$PWD\")\" \"$#\" \"$*\" \"$PWD\" \"$fd7\" >> '" +
      LogFile() +
      "'\n"
      "[ -f ./leave-error ] && : > '" +
      ErrorFile() +
      "'\n"
      "[ -f ./kill-self ] && kill -9 $$\n"
      "[ -f ./exit-code ] && exit \"$(cat ./exit-code)\"\n"
      "exit 0\n";
  WriteFile(dir + "/setup", script);
  chmod((dir + "/setup").c_str(), 0755);
}

void FakeDistribution::SetExitCode(const std::string& folder, int code) {
  WriteFile(ComponentDirectory(folder) + "/exit-code", std::to_string(code));
}

void FakeDistribution::SetLeavesErrorFile(const std::string& folder) {
  WriteFile(ComponentDirectory(folder) + "/leave-error", "");
}

void FakeDistribution::SetKillsItself(const std::string& folder) {
  WriteFile(ComponentDirectory(folder) + "/kill-self", "");
}

void FakeDistribution::RemoveInstaller(const std::string& folder) {
  std::filesystem::remove(ComponentDirectory(folder) + "/setup");
}

void FakeDistribution::Install(const std::string& id, const std::string& version) {
  std::filesystem::create_directories(RegistryRoot() + "/HKEY_LOCAL_MACHINE/SOFTWARE/Tarvik/Reg" + id + "/" + version);
}

std::vector<std::string> FakeDistribution::LogLines() const { return Lines(ReadFile(LogFile())); }

std::vector<std::string> FakeDistribution::InstalledFolders() const {
  std::vector<std::string> folders;
  for (const std::string& line : LogLines()) folders.push_back(line.substr(0, line.find('|')));
  return folders;
}

}  // namespace orla::test
