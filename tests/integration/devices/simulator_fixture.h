#pragma once
// Runs the simulated devices (simulator/start.sh) for one test on its own
// loopback addresses, and prepares a program folder whose devices/ holds the
// Fibre Alliance MIB plug-in with its type file and type list, as installed.
// The folder is the current directory during the test.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/devices/status_change_listener.h"
#include "tests/support/code_of.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/manual_clock.h"
#include "tests/support/recording_listener.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/temp_dir.h"

namespace orla::test {

class SimulatorFixture : public ::testing::Test {
 protected:
  static constexpr int kSnmpPort = 12161;

  // `firstHost` is the last octet of the first device's address in
  // 127.0.1.0/24; the five devices take it and the four after it. Every test
  // uses its own block, so tests can run side by side.
  explicit SimulatorFixture(int firstHost) : firstHost_(firstHost), simulator_(dir_.File("sim")) {}
  // The devices also answer SNMPv3 for the test users (snmpsim_v3_users.h),
  // the context name picking the device.
  SimulatorFixture(int firstHost, bool snmpV3) : SimulatorFixture(firstHost) { snmpV3_ = snmpV3; }

  void SetUp() override;
  void TearDown() override;

  // The address of a simulated device: tc01, tc02, tc03, sw01, host01.
  std::string Address(const std::string& device) const;
  // The port this test's agent "receives traps on" (KORAGENT_TRAP_LISTEN).
  int TrapPort() const { return 12200 + firstHost_; }

  // Runs simulator/simctl for this test's simulator; its output.
  std::string Simctl(const std::string& arguments);
  void StopSimulator();
  // Starts the devices (again); SetUp has started them once.
  void StartSimulator();

  // A loaded registry (no element file yet) reporting to `changes_`; its
  // polling threads run on `clock` (clock_, which the test moves, or the
  // system's when null).
  std::unique_ptr<ElementRegistry> Loaded(int pollingInterval = 300, Clock* clock = nullptr);

  TempDir dir_;
  EventLogCapture log_;
  ScopedSettings settings_;
  RecordingListener changes_;
  ManualClock clock_;

 private:
  int firstHost_;
  bool snmpV3_ = false;
  SimulatedDevices simulator_;
  std::string previousDirectory_;
};

// The status field of the element's record in the registry's list string;
// -100 when the element is not listed.
int StatusOf(ElementRegistry& registry, const std::string& name);

// The fixture on the block of addresses that starts at `FirstHost`.
template <int FirstHost>
class SimulatorOn : public SimulatorFixture {
 protected:
  SimulatorOn() : SimulatorFixture(FirstHost) {}
};

}  // namespace orla::test
