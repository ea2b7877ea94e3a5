#pragma once
// A folder laid out like a program directory for the registry's tests: the
// current directory during the test, with devices/supported.txt, type files
// and the fake plug-in, and a listener that records the status changes.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "agent/devices/element_registry.h"
#include "agent/devices/status_change_listener.h"
#include "agent/snmp/trap_message.h"
#include "platform/library/dynamic_library.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/manual_clock.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/recording_listener.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/devices/fake_plugin_control.h"

namespace orla::test {

class DevicesFixture : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes devices/<name> (type list, type file).
  void WriteDevicesFile(const std::string& name, const std::string& contents);
  // A type file for the fake plug-in: "dllname=<library>", "snmpgetname=public",
  // "snmpsetname=private" and the extra lines given.
  void WriteFakeType(const std::string& type, const std::string& extra = "",
                     const std::string& library = "fake_plugin.so");

  FakePluginControl& Control() { return *control_; }
  void SetDevice(const std::string& address, const std::function<void(FakeDevice&)>& change);
  int UpdateCalls();
  int UpdatesOf(const std::string& address);
  // Waits (at most `limit`) until `condition` holds under the control's lock.
  bool WaitFor(const std::function<bool(FakePluginControl&)>& condition,
               std::chrono::milliseconds limit = std::chrono::seconds(10));

  // An enterprise-specific trap (generic 6, `specific`) from 10.9.0.`host`.
  static std::unique_ptr<TrapMessage> EnterpriseTrap(int32_t host, int32_t specific);

  // A registry on dir_/KORAgent.db (polling interval 3600 s) that reports
  // its changes to listener_, loaded; its polling threads run on `clock`
  // (clock_, which the test moves, or the system's when null); with
  // `trapConditionFile`, it keeps the trap conditions there.
  std::unique_ptr<ElementRegistry> Loaded(Clock* clock = nullptr, const std::string& trapConditionFile = "");

  TempDir dir_;
  EventLogCapture log_;
  ScopedSettings settings_;
  RecordingListener listener_;
  ManualClock clock_;

 private:
  std::string previousDirectory_;
  std::unique_ptr<DynamicLibrary> fake_;
  FakePluginControl* control_ = nullptr;
};

}  // namespace orla::test
