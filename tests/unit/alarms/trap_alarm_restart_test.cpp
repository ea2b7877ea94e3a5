// The alarms received traps raised stand again after a restart of the
// agent: the registry keeps their conditions in the trap-condition file and
// gives them back to the same element (name and address) at the next load.
// One table on the manual clock: a trap raises a condition, something
// happens, the registry is made anew from the files as after a restart.
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

  // The trap alarms the registry's elements show now: "id severity since
  // reason", the since time in minutes after `originMs`.
  std::vector<std::string> TrapAlarms(const ElementRegistry& registry, int64_t originMs) {
    std::vector<std::string> shown;
    for (const ElementView& view : registry.Snapshot()->Read()) {
      for (const Alarm& alarm : AlarmConditions::Of(view, clock_.WallMilliseconds())) {
        if (alarm.kind != Alarm::kTrap) continue;
        shown.push_back(alarm.id + " " + std::to_string(alarm.severity) + " " +
                        std::to_string((alarm.sinceMs - originMs) / 60000) + " " + alarm.reason);
      }
    }
    return shown;
  }
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
    std::unique_ptr<ElementRegistry> restarted = Start();
    EXPECT_EQ(TrapAlarms(*restarted, originMs), row.after) << row.what;
    const bool setAside = row.between == kDamage;
    EXPECT_EQ(log_.Count("WARNING: The conditions received traps raised in " + dir_.File("alarms.traps") +
                         " cannot be read (line 2 is not a trap condition); the file was kept as"),
              setAside ? 1 : 0)
        << row.what;
    bool asideExists = false;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      if (entry.path().filename().string().rfind("alarms.traps.damaged-", 0) == 0) {
        asideExists = true;
        std::filesystem::remove(entry.path());
      }
    }
    EXPECT_EQ(asideExists, setAside) << row.what;
  }
}

}  // namespace
}  // namespace orla
