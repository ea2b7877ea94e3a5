// Device counters against the simulated devices: the registry with the real
// plug-ins, its polls on the manual clock. A tape controller's port made bad
// in the simulator (simctl port ... errors) makes its element degraded with
// the port's reason at a later poll of the polling thread, and the element
// recovers once the hour's errors are gone.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <regex>
#include <string>

#include "agent/core/agent_settings.h"
#include "agent/devices/plugin/device_plugin.h"
#include "tests/integration/devices/simulator_fixture.h"
#include "tests/support/code_of.h"
#include "tests/support/snapshot_reads.h"

namespace orla::test {
namespace {

using std::chrono::seconds;
using PortErrorsTest = SimulatorOn<120>;

TEST_F(PortErrorsTest, ABadPortDegradesTheElementWithItsReasonAndRecovers) {
  AgentSettings limits = AgentSettings::Current();
  ASSERT_EQ(limits.SetPortErrorLimits("crc_errors=5"), "");
  AgentSettings::SetCurrent(limits);
  auto registry = Loaded(300, &clock_);
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", Address("tc01"), 60); }), 6);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  const auto view = [&] { return *ViewAt(*registry, Address("tc01")); };
  // One poll: the counters are there, healthy, without a rate yet.
  ASSERT_TRUE(clock_.Step(seconds(60), 1));
  ASSERT_NE(view().status.samples, nullptr);
  EXPECT_EQ(view().status.status, 0);

  ASSERT_EQ(Simctl("port tc01 1 errors 60000").find("exit status"), std::string::npos);  // 1,000 a second
  // Each poll (60 s on the manual clock) sees the errors counted meanwhile.
  const std::regex reason("Port 1: [0-9]+ CRC errors in the last hour(; .*)?");
  bool degraded = false;
  for (int poll = 0; poll < 50 && !degraded; ++poll) {
    ASSERT_TRUE(clock_.Step(seconds(60), 1));
    degraded = view().status.status == plugin::kStatusDegraded;
  }
  ASSERT_TRUE(degraded);
  EXPECT_TRUE(std::regex_match(view().status.reason, reason)) << view().status.reason;
  EXPECT_EQ(view().status.reason.find("Port 2"), std::string::npos) << view().status.reason;

  // Healthy again: once the bad hour has passed (a poll an hour later, whose
  // step still holds the last errors, then one more), the element is ok.
  ASSERT_EQ(Simctl("port tc01 1 errors 0").find("exit status"), std::string::npos);
  for (int poll = 0; poll < 3 && view().status.status != 0; ++poll) ASSERT_TRUE(clock_.Step(seconds(3600), 1));
  EXPECT_EQ(view().status.status, 0);
  EXPECT_EQ(view().status.reason, "");
}

using DriveWearTest = SimulatorOn<130>;

// A tape library's wear facts: drive 1 (6,772 mounts, and counting) past a
// mount budget of 5,000 is noted in a degraded status, the slots and the
// cleaning cartridges are read as the recording has them.
TEST_F(DriveWearTest, ADrivePastItsBudgetIsNotedAndTheSlotsAreCounted) {
  AgentSettings budget = AgentSettings::Current();
  ASSERT_EQ(budget.SetDriveBudget("mounts=5000,hours=0"), "");
  AgentSettings::SetCurrent(budget);
  auto registry = Loaded(300, &clock_);
  EXPECT_EQ(CodeOf([&] { registry->AddElement("lib01", Address("lib01"), 60); }), 6);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  ASSERT_TRUE(clock_.Step(seconds(60), 1));
  const ElementView view = *ViewAt(*registry, Address("lib01"));
  EXPECT_EQ(view.status.status, plugin::kStatusDegraded);
  EXPECT_TRUE(std::regex_match(view.status.reason, std::regex("Drive 1: [0-9]+ mounts, past the budget of 5000")))
      << view.status.reason;
  ASSERT_NE(view.status.samples, nullptr);
  std::map<int32_t, uint64_t> device;
  for (const DeviceSamples::Sample& s : view.status.samples->samples) {
    if (s.part == plugin::kPartDevice && s.value) device[s.kind] = *s.value;
  }
  EXPECT_EQ(device, (std::map<int32_t, uint64_t>{
                        {plugin::kDeviceSlots, 40}, {plugin::kDeviceSlotsUsed, 32}, {plugin::kDeviceCleaningCartridges, 2}}));
}

}  // namespace
}  // namespace orla::test
