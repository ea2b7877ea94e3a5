#include "tests/integration/devices/simulator_fixture.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "agent/core/orla_exception.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/snmpsim_v3_users.h"
#include "tests/support/scoped_settings.h"

namespace orla::test {

namespace {

const char* const kDevices[] = {"tc01", "tc02", "tc03", "sw01", "host01", "mk01", "lib01", "lib02", "lib03"};

}  // namespace

void SimulatorFixture::SetUp() {
  // snmpsimd runs as nobody when started by root: it must reach its folder.
  chmod(dir_.Path().c_str(), 0755);
  StartSimulator();

  settings_.SnmpPort(kSnmpPort);
  settings_.TrapListen("udp:127.0.0.1:" + std::to_string(TrapPort()));

  // The program folder: devices/ as the install lays it out.
  InstallDevicesFolder(dir_.Path());
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

void SimulatorFixture::StopSimulator() { simulator_.Stop(); }

void SimulatorFixture::StartSimulator() {
  std::string users;
  if (snmpV3_) {
    users = dir_.File("v3users.txt");
    dir_.Write("v3users.txt", SnmpsimV3UsersFile());
  }
  const std::string output = simulator_.Start(kSnmpPort, Address("tc01"), "", users);
  ASSERT_NE(output.find("host01 " + Address("host01")), std::string::npos) << output;
}

std::string SimulatorFixture::Address(const std::string& device) const {
  int offset = 0;
  for (const char* name : kDevices) {
    if (device == name) break;
    ++offset;
  }
  return "127.0.1." + std::to_string(firstHost_ + offset);
}

std::string SimulatorFixture::Simctl(const std::string& arguments) { return simulator_.Simctl(arguments); }

std::unique_ptr<ElementRegistry> SimulatorFixture::Loaded(int pollingInterval, Clock* clock) {
  auto registry = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), pollingInterval);
  registry->SetClock(clock);
  registry->SetStatusChangeListener(&changes_);
  registry->LoadElements();
  return registry;
}

int StatusOf(ElementRegistry& registry, const std::string& name) {
  const std::string list = registry.ListElements(false);
  const size_t at = list.find("|" + name + "|");
  if (at == std::string::npos) return -100;
  const size_t start = list.rfind('|', at - 1);
  return std::stoi(list.substr(start == std::string::npos ? 0 : start + 1));
}

}  // namespace orla::test
