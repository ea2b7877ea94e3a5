#include "tests/integration/devices/simulator_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "agent/core/orla_exception.h"
#include "tests/support/shell_command.h"
#include "tests/support/scoped_settings.h"

namespace orla::test {

namespace {

const char* const kDevices[] = {"tc01", "tc02", "tc03", "sw01", "host01"};

// Output and error output of a command, with its exit status appended when
// it failed, so an assertion message shows what went wrong.
std::string Shell(const std::string& command) {
  int status = 0;
  std::string output = CommandOutput(command + " 2>&1", &status);
  if (status != 0) output += "\n(exit status " + std::to_string(status) + ")";
  return output;
}

}  // namespace

void SimulatorFixture::SetUp() {
  // snmpsimd runs as nobody when started by root: it must reach its folder.
  chmod(dir_.Path().c_str(), 0755);
  const std::string source = KOR_SOURCE_DIR;
  const std::string start = source + "/simulator/start.sh --run-dir " + dir_.File("sim") +
                            " --port " + std::to_string(kSnmpPort) + " --base " + Address("tc01");
  const std::string output = Shell("timeout 60 " + start);
  running_ = true;
  ASSERT_NE(output.find("host01 " + Address("host01")), std::string::npos) << output;

  settings_.SnmpPort(kSnmpPort);
  settings_.TrapListen("udp:127.0.0.1:" + std::to_string(TrapPort()));

  // The program folder: devices/ as the install lays it out.
  const std::string built = std::string(KOR_BINARY_DIR) + "/devices/";
  std::filesystem::create_directory(dir_.File("devices"));
  for (const char* file : {"famib.so", "famib.cfg", "supported.txt"}) {
    std::filesystem::copy_file(built + file, dir_.File(std::string("devices/") + file));
  }
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  previousDirectory_ = buffer;
  ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
}

void SimulatorFixture::TearDown() {
  StopSimulator();
  if (!previousDirectory_.empty()) {
    ASSERT_EQ(chdir(previousDirectory_.c_str()), 0);
  }
}

void SimulatorFixture::StopSimulator() {
  if (!running_) return;
  running_ = false;
  Shell("timeout 30 " + std::string(KOR_SOURCE_DIR) + "/simulator/stop.sh --run-dir " + dir_.File("sim"));
}

std::string SimulatorFixture::Address(const std::string& device) const {
  int offset = 0;
  for (const char* name : kDevices) {
    if (device == name) break;
    ++offset;
  }
  return "127.0.1." + std::to_string(firstHost_ + offset);
}

std::string SimulatorFixture::Simctl(const std::string& arguments) {
  return Shell("timeout 30 " + std::string(KOR_SOURCE_DIR) + "/simulator/simctl --run-dir " + dir_.File("sim") + " " +
             arguments);
}

std::unique_ptr<ElementRegistry> SimulatorFixture::Loaded(int pollingInterval) {
  auto registry = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), pollingInterval);
  registry->SetStatusChangeListener(&changes_);
  registry->LoadElements();
  return registry;
}

}  // namespace orla::test
