#include "tests/support/simulated_devices.h"

#include <filesystem>

#include "tests/support/build_tree.h"
#include "tests/support/shell_command.h"

namespace orla::test {

namespace {

// Output and error output of a command, with its exit status appended when
// it failed, so an assertion message shows what went wrong.
std::string Shell(const std::string& command) {
  int status = 0;
  std::string output = CommandOutput(command + " 2>&1", &status);
  if (status != 0) output += "\n(exit status " + std::to_string(status) + ")";
  return output;
}

std::string Tool(const std::string& name) { return SourceDir() + "/simulator/" + name; }

}  // namespace

std::string SimulatedDevices::Start(int port, const std::string& base, const std::string& only,
                                   const std::string& v3Users) {
  running_ = true;
  return Shell("timeout 60 " + Tool("start.sh") + " --run-dir " + runDir_ + " --port " + std::to_string(port) +
               " --base " + base + (only.empty() ? "" : " --only " + only) +
               (v3Users.empty() ? "" : " --v3-users " + v3Users));
}

std::string SimulatedDevices::StartRange(int port, const std::string& range, int devices) {
  running_ = true;
  return Shell("timeout 90 " + Tool("start.sh") + " --run-dir " + runDir_ + " --port " + std::to_string(port) +
               " --range " + range + " --devices " + std::to_string(devices));
}

std::string SimulatedDevices::Simctl(const std::string& arguments) {
  return Shell("timeout 30 " + Tool("simctl") + " --run-dir " + runDir_ + " " + arguments);
}

void SimulatedDevices::Stop() {
  if (!running_) return;
  running_ = false;
  Shell("timeout 30 " + Tool("stop.sh") + " --run-dir " + runDir_);
}

void InstallDevicesFolder(const std::string& programDir) {
  std::filesystem::create_directories(programDir + "/devices");
  for (const char* file : {"famib.so", "famib.cfg", "smlib.so", "smlib.cfg", "supported.txt"}) {
    std::filesystem::copy_file(BinaryDir() + "/devices/" + file, programDir + "/devices/" + file,
                               std::filesystem::copy_options::overwrite_existing);
  }
}

}  // namespace orla::test
