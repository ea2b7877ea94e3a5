// The storage media library plug-in against the simulated libraries:
// recognition beside the Fibre Alliance plug-in, the rolled-up status with
// its reason, a drive failing between polls, trap texts and both counter
// encodings.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <memory>

#include "agent/devices/plugin/device_plugin.h"
#include "agent/core/event_ring.h"
#include "agent/devices/recognizer.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/snmp_session.h"
#include "agent/snmp/trap_message.h"
#include "plugins/smlib/sml_values.h"
#include "tests/support/snapshot_reads.h"
#include "tests/integration/devices/simulator_fixture.h"
#include "tests/support/wait_until.h"

namespace orla::test {
namespace {

constexpr char kDrive1[] = "QUILLANE ULT3580-TD8 10450001";

class LibrariesTest : public SimulatorOn<110> {
 protected:
  // The status and reason of the element `name` as the agent shows them
  // (status.json, the metrics and the console read the snapshot), as the
  // registry's last status pass left them.
  static std::pair<int, std::string> StatusAndReason(ElementRegistry& registry, const std::string& name) {
    for (const ElementView& e : registry.Snapshot()->Read()) {
      if (e.record.name == name) return {e.status.status, e.status.reason};
    }
    return {-100, "not listed"};
  }

  std::unique_ptr<TrapMessage> Trap(const std::vector<uint32_t>& enterprise, int specific) {
    auto trap = std::make_unique<TrapMessage>();
    trap->SetEnterprise(enterprise.data(), static_cast<int32_t>(enterprise.size()));
    int32_t address[4];
    std::sscanf(Address("lib02").c_str(), "%d.%d.%d.%d", &address[0], &address[1], &address[2], &address[3]);
    trap->SetAgentAddress(address);
    trap->SetGenericTrap(6);
    trap->SetSpecificTrap(specific);
    return trap;
  }
  static void Add(TrapMessage* trap, std::vector<uint32_t> name, SnmpValue* value) {
    trap->AddBinding(new SnmpBinding(value, new SnmpObjectId(name.data(), static_cast<int32_t>(name.size()))));
  }
};

TEST_F(LibrariesTest, EachRecordingIsRecognisedAndRolledUpWithItsReason) {
  struct Row {
    const char* device;
    const char* type;
    int status;
    std::string reason;
  };
  const Row rows[] = {
      {"lib01", "smlib", 0, ""},
      {"lib02", "smlib", 1, "Drive 2 (QUILLANE ULT3580-TD8 10450002) needs cleaning"},
      {"lib03", "smlib", 2, std::string("Drive 1 (") + kDrive1 + ") error"},
      {"tc01", "famib", 0, ""},
  };
  auto registry = Loaded();
  for (const Row& row : rows) {
    EXPECT_EQ(Recognizer::Recognize(Address(row.device)), row.type) << row.device;
    EXPECT_EQ(CodeOf([&] { registry->AddElement(row.device, Address(row.device), 300); }), 6) << row.device;
  }
  EXPECT_EQ(ModelAt(*registry, Address("lib01")), "Quillane TL-2000 lib01");
  EXPECT_EQ(RecordField(*registry, Address("lib01"), &ElementRecord::firmwareVersion), "7.40.2");
  EXPECT_EQ(MajorClassAt(*registry, Address("lib01")), 0x105);
  registry->UpdateAllStatus();
  for (const Row& row : rows) {
    EXPECT_EQ(StatusAndReason(*registry, row.device), std::make_pair(row.status, row.reason)) << row.device;
  }

  // A drive set to error turns the library failed at the next pass, and the
  // reason names the drive.
  Simctl("drive lib01 3 error");
  registry->UpdateAllStatus();
  EXPECT_EQ(StatusAndReason(*registry, "lib01"),
            std::make_pair(2, std::string("Drive 3 (QUILLANE ULT3580-TD8 10450003) error")));
  // The status-change event says it too.
  std::string changed;
  EventRing::Instance().VisitNewestFirst([&](const RecordedEvent& e) {
    if (e.origin.kind == "status" && e.origin.element == "lib01") changed = e.text;
    return changed.empty();
  });
  EXPECT_EQ(changed, "CRITICAL: lib01 (" + Address("lib01") +
                         "): OK \u2192 Failed: Drive 3 (QUILLANE ULT3580-TD8 10450003) error");

  // The Fibre Alliance plug-in names its unit.
  Simctl("status tc01 failed");
  registry->UpdateAllStatus();
  EXPECT_EQ(StatusAndReason(*registry, "tc01"), std::make_pair(2, std::string("Unit 1 failed")));

  // The library's traps become event texts that name the element first and
  // its drives by number and serial number, at the severity they report.
  const std::vector<uint32_t> sml = {1, 3, 6, 1, 4, 1, 14851, 3, 1};
  std::vector<uint32_t> group = sml;
  group.push_back(16);
  auto scalar = [&](std::initializer_list<uint32_t> tail) {
    std::vector<uint32_t> name = sml;
    name.insert(name.end(), tail);
    return name;
  };
  auto alert = [&](int summary, int severity) {
    auto trap = Trap(sml, 0);
    Add(trap.get(), scalar({16, 2, 0}), new SnmpInteger(summary));
    Add(trap.get(), scalar({16, 3, 0}), new SnmpInteger(2));
    Add(trap.get(), scalar({16, 6, 0}), new SnmpInteger(severity));
    return trap;
  };
  auto driveStatus = [&](int now, int before) {
    auto trap = Trap(group, 8);
    Add(trap.get(), scalar({5, 1, 0}), new SnmpOctetString("LIBRARY_LIB0200523"));
    Add(trap.get(), scalar({6, 2, 1, 8, 2}), new SnmpOctetString("50 05 07 63 0F 00 02 12"));
    Add(trap.get(), scalar({16, 8, 1, 0}), new SnmpInteger(now));
    Add(trap.get(), scalar({16, 8, 2, 0}), new SnmpInteger(before));
    return trap;
  };
  auto foreign = [&] {
    auto trap = Trap({1, 3, 6, 1, 4, 1, 9999}, 4);
    Add(trap.get(), {1, 3, 6, 1, 4, 1, 9999, 1, 0}, new SnmpInteger(7));
    return trap;
  };
  const std::string lib02 = "lib02 (" + Address("lib02") + "): ";
  const struct {
    std::unique_ptr<TrapMessage> trap;
    std::string text;
    int severity;  // as the console shows it; -1: the logged WARNING
  } traps[] = {
      {alert(20, 3), lib02 + "TapeAlert from drive 2 (serial 10450002): clean now (severity degraded/warning).", 1},
      {alert(20, 2), lib02 + "TapeAlert from drive 2 (serial 10450002): clean now (severity information).", 0},
      {alert(5, 7), lib02 + "TapeAlert from drive 2 (serial 10450002): read failure (severity fatal/non-recoverable).",
       2},
      {driveStatus(6, 2), lib02 + "Drive 2 (serial 10450002) changed status from ok to error.", 2},
      {driveStatus(2, 2), lib02 + "Drive 2 (serial 10450002) changed status from ok to ok.", 0},
      {driveStatus(3, 2), lib02 + "Drive 2 (serial 10450002) changed status from ok to degraded.", 1},
      {foreign(), "Enterprise-specific trap 4 received (enterprise 1.3.6.1.4.1.9999): 1.3.6.1.4.1.9999.1.0=7.", -1},
  };
  const auto snapshot = registry->Snapshot();
  for (const auto& row : traps) {
    uint8_t data[600] = {};
    char message[1000] = {};
    int32_t severity = -5;
    snapshot->Find(Address("lib02"))->DeliverTrap(row.trap.get(), data, message, &severity);
    EXPECT_EQ(std::string(message), row.text);
    EXPECT_EQ(severity, row.severity) << row.text;
  }
  // The TapeAlerts of warning severity or worse stand as conditions of the
  // drive, named without the element; status changes and information do not.
  std::vector<std::string> held;
  for (const TrapCondition& c : registry->Snapshot()->Find(Address("lib02"))->Status()->trapConditions) {
    held.push_back(c.part + " " + std::to_string(c.severity) + " " + std::to_string((c.untilMs - c.sinceMs) / 3600000) +
                   "h " + c.reason);
  }
  EXPECT_EQ(held, (std::vector<std::string>{
                      "drive:2:tapealert:20 1 8h TapeAlert from drive 2 (serial 10450002): clean now (severity "
                      "degraded/warning).",
                      "drive:2:tapealert:5 2 24h TapeAlert from drive 2 (serial 10450002): read failure (severity "
                      "fatal/non-recoverable).",
                  }));
}

// The trap-target question says what the library's trap destinations say:
// the recorded row names 127.0.0.1 port 162, so this agent only while it
// receives its traps there.
TEST_F(LibrariesTest, TheTrapTargetQuestionSaysWhetherTheLibraryAlreadySendsItsTrapsHere) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("lib01", Address("lib01"), 300); }), 6);
  const auto question = [&] { return registry->Snapshot()->Find(Address("lib01"))->TrapTargetQuestion(); };
  const struct {
    int trapPort;  // 0: the simulator stopped
    const char* says;
  } rows[] = {
      {TrapPort(), "The tape library is not currently configured to send SNMP traps to the management agent."},
      {162, "The tape library already sends its SNMP traps to the management agent.  Do you want to set this up "
            "again anyway? No second destination is added"},
      {0, "The agent could not read the tape library's trap destinations."},
  };
  for (const auto& row : rows) {
    if (row.trapPort == 0) StopSimulator();
    if (row.trapPort != 0) settings_.TrapListen("udp:127.0.0.1:" + std::to_string(row.trapPort));
    EXPECT_EQ(question().rfind(row.says, 0), 0u) << row.trapPort << ": " << question();
  }
}

TEST_F(LibrariesTest, ACounterReadsTheSameInEitherEncoding) {
  const char* mounts = "1.3.6.1.4.1.14851.3.1.6.2.1.7.1";
  for (const char* device : {"lib01", "lib02"}) {  // raw octets, decimal text
    SnmpSession session(Address(device).c_str(), "public");
    session.Open();
    SnmpVarBindList list{};
    session.RequestGet(mounts, &list);
    ASSERT_EQ(list.len, 1u) << device;
    const AsnAny& value = list.list[0].value;
    uint64_t number = 0;
    EXPECT_TRUE(SmlValues::ParseUint64(value.asnValue.string.stream, value.asnValue.string.length, &number));
    EXPECT_EQ(number, 6772u) << device;
    SnmpUtilVarBindListFree(&list);
  }
}

}  // namespace
}  // namespace orla::test
