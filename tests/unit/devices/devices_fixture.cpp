#include "tests/unit/devices/devices_fixture.h"

#include <unistd.h>

#include <filesystem>

namespace orla::test {

void DevicesFixture::SetUp() {
  char buffer[4096];
  ASSERT_NE(getcwd(buffer, sizeof buffer), nullptr);
  previousDirectory_ = buffer;
  ASSERT_EQ(chdir(dir_.Path().c_str()), 0);
  std::filesystem::create_directory("devices");
  const std::string plugins = std::string(KOR_BINARY_DIR) + "/tests/fake_plugins/";
  std::filesystem::create_symlink(plugins + "fake_plugin.so", "devices/fake_plugin.so");
  std::filesystem::create_symlink(plugins + "fake_partial.so", "devices/fake_partial.so");
  std::filesystem::create_symlink(plugins + "fake_conditions.so", "devices/fake_conditions.so");
  WriteDevicesFile("supported.txt", "fake\n");
  WriteFakeType("fake", "embeddedhomepage=true\n");

  // The tests hold the library open, so its control block lives as long as
  // the test, whatever the registry loads and releases.
  std::string error;
  fake_ = DynamicLibrary::Open(plugins + "fake_plugin.so", &error);
  ASSERT_NE(fake_, nullptr) << error;
  auto block = reinterpret_cast<FakePluginControlFunction>(fake_->Symbol("FakePluginControlBlock", &error));
  ASSERT_NE(block, nullptr) << error;
  control_ = block();
  control_->Reset();
}

void DevicesFixture::TearDown() {
  if (control_ != nullptr) {
    // Release any call still held inside the plug-in.
    std::lock_guard<std::mutex> hold(control_->mutex);
    control_->holdUpdates = false;
    control_->silent.clear();
    control_->changed.notify_all();
  }
  ASSERT_EQ(chdir(previousDirectory_.c_str()), 0);
}

void DevicesFixture::WriteDevicesFile(const std::string& name, const std::string& contents) {
  dir_.Write("devices/" + name, contents);
}

void DevicesFixture::WriteFakeType(const std::string& type, const std::string& extra, const std::string& library) {
  WriteDevicesFile(type + ".cfg", "dllname=" + library + "\nsnmpgetname=public\nsnmpsetname=private\n" + extra);
}

void DevicesFixture::SetDevice(const std::string& address, const std::function<void(FakeDevice&)>& change) {
  std::lock_guard<std::mutex> hold(control_->mutex);
  FakeDevice device = control_->Device(address);
  change(device);
  control_->devices[address] = device;
}

int DevicesFixture::UpdateCalls() {
  std::lock_guard<std::mutex> hold(control_->mutex);
  return control_->updateCalls;
}

int DevicesFixture::UpdatesOf(const std::string& address) {
  std::lock_guard<std::mutex> hold(control_->mutex);
  auto it = control_->updatesByAddress.find(address);
  return it == control_->updatesByAddress.end() ? 0 : it->second;
}

bool DevicesFixture::WaitFor(const std::function<bool(FakePluginControl&)>& condition,
                             std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> hold(control_->mutex);
  return control_->changed.wait_for(hold, limit, [&] { return condition(*control_); });
}

std::unique_ptr<TrapMessage> DevicesFixture::EnterpriseTrap(int32_t host, int32_t specific) {
  auto trap = std::make_unique<TrapMessage>();
  const int32_t address[4] = {10, 9, 0, host};
  trap->SetAgentAddress(address);
  trap->SetGenericTrap(6);
  trap->SetSpecificTrap(specific);
  return trap;
}

std::unique_ptr<ElementRegistry> DevicesFixture::Loaded(Clock* clock, const std::string& trapConditionFile) {
  auto registry = std::make_unique<ElementRegistry>(dir_.File("KORAgent.db"), 3600);
  registry->SetClock(clock);
  if (!trapConditionFile.empty()) registry->SetTrapConditionFile(trapConditionFile);
  registry->SetStatusChangeListener(&listener_);
  registry->LoadElements();
  return registry;
}

}  // namespace orla::test
