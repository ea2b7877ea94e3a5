// A discovery sweep against a simulated network (simulator/start.sh
// --range): every device found and recognised with its type as an add
// would, the silent majority waited for side by side, the pace kept.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "agent/devices/address_ranges.h"
#include "agent/devices/device_sweep.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/temp_dir.h"
#include "tests/support/working_directory.h"

namespace orla {
namespace {

class DiscoverySweep : public ::testing::Test {
 protected:
  static constexpr int kSnmpPort = 12171;
  static constexpr const char* kRange = "127.0.6.0/28";

  void SetUp() override {
    ::chmod(dir_.Path().c_str(), 0755);
    const std::string started = simulator_.StartRange(kSnmpPort, kRange, 5);
    ASSERT_NE(started.find("lib03-1 127.0.6.12"), std::string::npos) << started;
    settings_.SnmpPort(kSnmpPort);
    test::InstallDevicesFolder(dir_.Path());
    ASSERT_TRUE(test::WorkingDirectory::Enter(dir_.Path()));
  }

  test::TempDir dir_;
  test::EventLogCapture log_;
  test::ScopedSettings settings_;
  test::WorkingDirectory cwd_;
  test::SimulatedDevices simulator_{dir_.File("sim")};
};

TEST_F(DiscoverySweep, FindsEveryDeviceWithItsTypeAndWaitsOutTheSilentOnesTogether) {
  std::vector<std::string> addresses;
  std::string error;
  ASSERT_TRUE(AddressRanges::Parse(kRange, &addresses, &error)) << error;
  ASSERT_EQ(addresses.size(), 14u);

  DeviceSweep::Options options;
  options.rate = 40;
  options.timeoutMs = 1000;
  options.retries = 1;
  ManualResetEvent stop;
  DeviceSweep sweep(options, stop);
  DeviceSweep::Progress progress;
  const auto started = std::chrono::steady_clock::now();
  const std::vector<DeviceSweep::Found> found = sweep.Run(addresses, &progress);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

  const std::map<std::string, std::string> expected = {
      {"127.0.6.1", "tc01-1 famib"},  {"127.0.6.3", "lib01-1 smlib"}, {"127.0.6.6", "tc02-1 famib"},
      {"127.0.6.9", "lib02-1 smlib"}, {"127.0.6.12", "lib03-1 smlib"}};
  ASSERT_EQ(found.size(), expected.size());
  for (const DeviceSweep::Found& f : found) {
    SCOPED_TRACE(f.addresses.front());
    ASSERT_EQ(f.addresses.size(), 1u);
    EXPECT_EQ(f.sysName + " " + f.typeName, expected.at(f.addresses.front()));
    EXPECT_EQ(f.credential, "community from famib.cfg");
    EXPECT_EQ(f.note, "");
    EXPECT_FALSE(f.model.empty());
    EXPECT_FALSE(f.worldWideName.empty());
  }
  EXPECT_EQ(progress.asked, 14u);
  EXPECT_EQ(progress.answered, 5u);
  EXPECT_EQ(progress.recognised, 5u);
  // Nine silent addresses, two tries each: at least their 18 requests, and
  // never more than the rate in a second.
  EXPECT_GE(progress.sent, 18u);
  EXPECT_LE(progress.peakPerSecond, 40u);
  // One silent address costs 2 s (two tries of 1 s); asked one after another
  // the nine would cost 18 s. Asked together they end near one time-out.
  EXPECT_LT(seconds, 8.0);
}

TEST_F(DiscoverySweep, ACancelSendsNothingMoreAndEndsTheSweep) {
  std::vector<std::string> addresses;
  std::string error;
  ASSERT_TRUE(AddressRanges::Parse(kRange, &addresses, &error)) << error;
  DeviceSweep::Options options;
  options.rate = 2;  // so slow that the sweep is still asking when stopped
  options.timeoutMs = 1000;
  options.retries = 1;
  ManualResetEvent stop;
  DeviceSweep sweep(options, stop);
  DeviceSweep::Progress progress;
  stop.Set();
  const std::vector<DeviceSweep::Found> found = sweep.Run(addresses, &progress);
  EXPECT_TRUE(found.empty());
  EXPECT_EQ(progress.sent, 0u);
}

}  // namespace
}  // namespace orla
