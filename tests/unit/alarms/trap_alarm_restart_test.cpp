// The alarms received traps raised stand again after a restart: a trap
// raises a condition, something happens, and the registry is made anew
// from the agent directory's files (one table, on the manual clock).
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/alarms/alarm_conditions.h"
#include "agent/devices/plugin/device_plugin.h"
#include "tests/unit/devices/devices_fixture.h"

namespace orla {
namespace {

class TrapAlarmRestartTest : public test::DevicesFixture {
 protected:
  void SetUp() override {
    DevicesFixture::SetUp();
    WriteDevicesFile("supported.txt", "fakecond\n");
    WriteFakeType("fakecond", "", "fake_conditions.so");
  }
  std::unique_ptr<ElementRegistry> Start() { return Loaded(&clock_, dir_.File("alarms.traps")); }
};

TEST_F(TrapAlarmRestartTest, TrapAlarmsOutliveARestartOfTheirElement) {
  enum Between { kNothing, kLapse, kRemoveAndAddBack, kRename, kDamage };
  const struct {
    const char* what;
    Between between;
    std::vector<std::string> after;
  } rows[] = {
      {"a restart: both stand as they were", kNothing,
       {"lib1:trap:drive:3 1 0 drive 3 needs cleaning.", "lib1:trap:drive:51 2 5 drive 51 needs cleaning."}},
      {"the first lapses while the agent is down", kLapse, {"lib1:trap:drive:51 2 5 drive 51 needs cleaning."}},
      {"removed and added back: the new element has none", kRemoveAndAddBack, {}},
      {"renamed: they follow the name", kRename,
       {"lib9:trap:drive:3 1 0 drive 3 needs cleaning.", "lib9:trap:drive:51 2 5 drive 51 needs cleaning."}},
      {"a damaged file: the agent starts without them", kDamage, {}},
  };
  for (const auto& row : rows) {
    std::filesystem::remove(dir_.File("alarms.traps"));
    dir_.Write("KORAgent.db", "lib1|10.9.0.1\n");
    log_.Clear();
    const int64_t originMs = clock_.WallMilliseconds();
    {
      std::unique_ptr<ElementRegistry> registry = Start();
      for (int32_t drive : {3, 51}) {
        std::vector<uint8_t> data(plugin::kTrapDataSize);
        std::vector<char> message(plugin::kTrapMessageSize);
        registry->Snapshot()->Find("10.9.0.1")->DeliverTrap(EnterpriseTrap(1, drive).get(), data.data(),
                                                            message.data());
        clock_.Advance(std::chrono::minutes(5));
      }
      if (row.between == kRemoveAndAddBack) {
        registry->RemoveElement("lib1");
        registry->AddElement("lib1", "10.9.0.1");
      }
      if (row.between == kRename) registry->RenameElement("lib1", "lib9");
    }
    if (row.between == kLapse) clock_.Advance(std::chrono::minutes(52));
    if (row.between == kDamage) dir_.Write("alarms.traps", "KORAgent trap conditions 1\nlib1\t10.9.0.1\n");
    const std::string aside = dir_.File("alarms.traps.damaged-" + std::to_string(clock_.WallMilliseconds()));
    std::unique_ptr<ElementRegistry> restarted = Start();
    // Its trap alarms: "id severity since reason", since in minutes after the first trap.
    std::vector<std::string> shown;
    for (const ElementView& view : restarted->Snapshot()->Read()) {
      for (const Alarm& a : AlarmConditions::Of(view, clock_.WallMilliseconds())) {
        if (a.kind != Alarm::kTrap) continue;
        shown.push_back(a.id + " " + std::to_string(a.severity) + " " + std::to_string((a.sinceMs - originMs) / 60000) +
                        " " + a.reason);
      }
    }
    EXPECT_EQ(shown, row.after) << row.what;
    EXPECT_EQ(restarted->Snapshot()->Size(), 1u) << row.what;
    const bool setAside = row.between == kDamage;
    EXPECT_EQ(log_.Count("WARNING: The conditions received traps raised in " + dir_.File("alarms.traps") +
                         " cannot be read (line 2 is not a trap condition); the file was kept as " + aside),
              setAside ? 1 : 0)
        << row.what;
    EXPECT_EQ(std::filesystem::exists(aside), setAside) << row.what;
  }
}

}  // namespace
}  // namespace orla
