// The Fibre Alliance MIB plug-in against the simulated devices: recognition,
// binding, polling, status changes, trap registration and trap texts.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "agent/core/agent_host.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/snmp/snmp_binding.h"
#include "agent/snmp/snmp_integer.h"
#include "agent/snmp/snmp_object_id.h"
#include "agent/snmp/snmp_octet_string.h"
#include "agent/snmp/trap_message.h"
#include "tests/support/snapshot_reads.h"
#include "tests/integration/devices/simulator_fixture.h"
#include "tests/support/wait_until.h"

namespace orla::test {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;

// Waits until `condition` holds, at most `limit` (devices answer slowly
// under the sanitizers).
bool Eventually(const std::function<bool()>& condition, seconds limit = seconds(20)) {
  return WaitUntil(condition, limit, milliseconds(100));
}

// The 16 sub-identifiers of a unit id whose WWN is `wwn` (eight octets).
std::vector<uint32_t> UnitId(std::initializer_list<uint32_t> wwn) {
  std::vector<uint32_t> id(wwn);
  id.resize(16, 0);
  return id;
}

SnmpBinding* Binding(std::vector<uint32_t> name, const std::vector<uint32_t>& suffix, SnmpValue* value) {
  name.insert(name.end(), suffix.begin(), suffix.end());
  return new SnmpBinding(value, new SnmpObjectId(name.data(), static_cast<int32_t>(name.size())));
}

using ControllersTest = SimulatorOn<20>;

TEST_F(ControllersTest, EachControllerIsRecognisedBoundAndPolledOnItsOwnThread) {
  auto registry = Loaded(300, &clock_);
  // None of them sends its traps to this agent yet: added, with code 6.
  for (const char* name : {"tc01", "tc02", "tc03"}) {
    EXPECT_EQ(CodeOf([&] { registry->AddElement(name, Address(name), 1); }), 6) << name;
  }
  ASSERT_EQ(registry->ElementCount(), 3);

  EXPECT_EQ(ModelAt(*registry, Address("tc01")), "Quillane FTC-400 Tape Controller");
  EXPECT_EQ(RecordField(*registry, Address("tc01"), &ElementRecord::worldWideName), "10:00:00:60:45:17:2a:01");
  EXPECT_EQ(RecordField(*registry, Address("tc01"), &ElementRecord::firmwareVersion), "4.12.07");
  // The firmware row is found by its description, not its position.
  EXPECT_EQ(ModelAt(*registry, Address("tc02")), "Quillane FTC-800 Tape Bridge");
  EXPECT_EQ(RecordField(*registry, Address("tc02"), &ElementRecord::worldWideName), "20:00:00:e0:8b:04:11:c2");
  EXPECT_EQ(RecordField(*registry, Address("tc02"), &ElementRecord::firmwareVersion), "5.0.3");
  // A global id of zeros: the WWN comes from the unit id.
  EXPECT_EQ(RecordField(*registry, Address("tc03"), &ElementRecord::worldWideName), "50:01:10:a0:00:3c:7e:15");
  EXPECT_EQ(RecordField(*registry, Address("tc03"), &ElementRecord::firmwareVersion), "2.8.1b");
  EXPECT_EQ(registry->GetCommunityAt(Address("tc03")), "public");
  EXPECT_EQ(registry->SetCommunityAt(Address("tc03")), "private");
  EXPECT_EQ(MajorClassAt(*registry, Address("tc01")), 0x104);
  EXPECT_EQ(MinorClassAt(*registry, Address("tc01")), 14);
  EXPECT_EQ(MinorClassAt(*registry, Address("tc02")), 5);

  const std::string link = "WebAgent/index.html?addr=" + Address("tc01");
  const std::string root = "https://" + AgentHost::Address() + ":2381/KOR/";
  EXPECT_EQ(registry->ListElements(false).substr(0, registry->ListElements(false).find("|-1|tc02|")),
            "-1|tc01|" + Address("tc01") + "|Quillane FTC-400 Tape Controller|" + link + "|" + root + link);

  // Each element's own thread polls it (no update-all pass runs here).
  ASSERT_TRUE(clock_.WaitForWaiters(3));
  ASSERT_TRUE(clock_.Step(seconds(1), 3));
  ASSERT_TRUE(Eventually([&] {
    return StatusOf(*registry, "tc01") == 0 && StatusOf(*registry, "tc02") == 1 && StatusOf(*registry, "tc03") == 2;
  }));
  EXPECT_EQ(registry->OverallStatus(), '2');
  EXPECT_EQ(changes_.Changes().size(), 3u);
}

using UnclaimedTest = SimulatorOn<30>;

TEST_F(UnclaimedTest, SwitchAndDeviceWithoutTheMibAreUnsupported) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("sw01", Address("sw01"), 300); }), 8);
  EXPECT_EQ(CodeOf([&] { registry->AddElement("host01", Address("host01"), 300); }), 8);
  EXPECT_EQ(registry->ElementCount(), 0);
}

using StatusChangeTest = SimulatorOn<40>;

TEST_F(StatusChangeTest, ASimulatedStatusChangeShowsAtTheNextPollAndIsReportedOnce) {
  auto registry = Loaded(300, &clock_);
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", Address("tc01"), 1); }), 6);
  ASSERT_TRUE(clock_.WaitForWaiters(1));
  ASSERT_TRUE(clock_.Step(seconds(1), 1));  // the first poll
  ASSERT_TRUE(Eventually([&] { return StatusOf(*registry, "tc01") == 0; }));
  // The poller stores the status before it reports the change.
  ASSERT_TRUE(Eventually([&] { return changes_.Changes().size() >= 1u; }));
  ASSERT_EQ(changes_.Changes().size(), 1u);

  Simctl("status tc01 failed");
  ASSERT_TRUE(clock_.Step(seconds(1), 1));
  ASSERT_TRUE(Eventually([&] { return StatusOf(*registry, "tc01") == 2; }));
  // A few more polls of the unchanged status report nothing more.
  for (int poll = 0; poll < 2; ++poll) ASSERT_TRUE(clock_.Step(seconds(1), 1));
  const auto changes = changes_.Changes();
  ASSERT_EQ(changes.size(), 2u);
  EXPECT_EQ(changes[1], std::make_pair(std::string("tc01"), 2));
  EXPECT_EQ(registry->OverallStatus(), '2');

  Simctl("status tc01 unused");
  registry->UpdateAllStatus();
  EXPECT_EQ(StatusOf(*registry, "tc01"), 3);
}

using TrapReceiverTest = SimulatorOn<50>;

TEST_F(TrapReceiverTest, TheAgentRegistersItsOwnAddressAndTrapPort) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", Address("tc01"), 300); }), 6);
  // The trap-target page asks the tape controller's own question until the
  // device sends its traps here, then says that it does.
  const auto question = [&] { return registry->Snapshot()->Find(Address("tc01"))->TrapTargetQuestion(); };
  EXPECT_EQ(question(), "");
  registry->ConfigureTrapReceiver("tc01");
  EXPECT_EQ(question().rfind("The tape controller already sends its SNMP traps to the management agent.", 0), 0u)
      << question();
  // The row for the address this host's requests come from and the port
  // of KORAGENT_TRAP_LISTEN; the other manager's row stays.
  const std::string rows = Simctl("trapreg tc01 list");
  EXPECT_NE(rows.find("127.0.0.1:" + std::to_string(TrapPort()) + " filter 8 active"), std::string::npos) << rows;
  EXPECT_NE(rows.find("127.0.0.2:162"), std::string::npos) << rows;
  // The simulator sends nothing off this machine unless told to.
  EXPECT_NE(Simctl("trap tc01 coldstart --to 10.20.30.40:162").find("refusing to send a trap off this machine"),
            std::string::npos);

  // Added again, the device now sends its traps here: no error.
  registry->RemoveElement("tc01");
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", Address("tc01"), 300); }), 0);

  // A device that keeps the table read-only makes the request fail, and
  // the failure reaches the caller.
  Simctl("trapreg tc02 readonly");
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc02", Address("tc02"), 300); }), 6);
  EXPECT_EQ(CodeOf([&] { registry->ConfigureTrapReceiver("tc02"); }), 2002);  // "An SNMP Set error has occurred."
  EXPECT_EQ(Simctl("trapreg tc02 list"), "read-only\n");
}

class TrapTextTest : public SimulatorOn<60> {
 protected:
  // A trap of the Fibre Alliance MIB from tc02.
  std::unique_ptr<TrapMessage> Trap(int specific) {
    auto trap = std::make_unique<TrapMessage>();
    const uint32_t enterprise[] = {1, 3, 6, 1, 3, 94};
    trap->SetEnterprise(enterprise, 6);
    int32_t address[4];
    std::sscanf(Address("tc02").c_str(), "%d.%d.%d.%d", &address[0], &address[1], &address[2], &address[3]);
    trap->SetAgentAddress(address);
    trap->SetGenericTrap(6);
    trap->SetSpecificTrap(specific);
    trap->SetTimeStamp(100);
    return trap;
  }
  const std::vector<uint32_t> unit_ = UnitId({0x20, 0x00, 0x00, 0xe0, 0x8b, 0x04, 0x11, 0xc2});
};

TEST_F(TrapTextTest, TheMibsTrapsBecomeEventTextsAndData) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc02", Address("tc02"), 300); }), 6);
  // A poll shows the plug-in the units, which the texts then number as the
  // device page does (tc02's two units share one WWN).
  registry->UpdateAllStatus();
  const std::string tc02 = "tc02 (" + Address("tc02") + "): ";
  uint8_t data[600] = {};
  char message[1000] = {};

  auto status = Trap(1);
  status->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 6, 1, 6}, unit_, new SnmpInteger(4)));
  status->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 6, 1, 5}, unit_, new SnmpInteger(2)));
  ASSERT_EQ(DeliverTrap(*registry, status.get(), data, message), 20);
  EXPECT_EQ(message, tc02 + "Status of unit 1 changed to warning (unit online).");
  const uint8_t expected[20] = {1, 0, 1, 0, 4, 0, 2, 0, 0, 0, 0, 0, 0x20, 0, 0, 0xe0, 0x8b, 0x04, 0x11, 0xc2};
  EXPECT_EQ(std::vector<uint8_t>(data, data + 20), std::vector<uint8_t>(expected, expected + 20));

  std::fill(std::begin(data), std::end(data), 0);
  auto event = Trap(4);
  std::vector<uint32_t> eventRow = unit_;
  eventRow.push_back(1);
  event->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 11, 1, 3}, eventRow, new SnmpInteger(17)));
  event->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 11, 1, 7}, eventRow, new SnmpInteger(3)));
  event->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 11, 1, 9}, eventRow,
                            new SnmpOctetString("Tape drive 2 reports a cleaning request")));
  ASSERT_EQ(DeliverTrap(*registry, event.get(), data, message), 20 + 40);
  EXPECT_EQ(message, tc02 + "Event 17 on unit 1 (status): Tape drive 2 reports a cleaning request");
  EXPECT_STREQ(reinterpret_cast<const char*>(data + 20), "Tape drive 2 reports a cleaning request");
  EXPECT_EQ(data[8], 17);

  auto port = Trap(6);
  std::vector<uint32_t> portRow = unit_;
  portRow.push_back(3);
  port->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 10, 1, 7}, portRow, new SnmpInteger(5)));
  port->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 10, 1, 6}, portRow, new SnmpInteger(3)));
  int32_t severity = -5;
  EXPECT_EQ(registry->Snapshot()->Find(Address("tc02"))->DeliverTrap(port.get(), data, message, &severity), 20);
  EXPECT_EQ(message, tc02 + "Port 3 of unit 1 changed to failure (port offline).");
  EXPECT_EQ(severity, 2);  // a port failure is critical on the events page

  // A long description is cut to the data buffer, never beyond it.
  auto longEvent = Trap(4);
  longEvent->AddBinding(Binding({1, 3, 6, 1, 3, 94, 1, 11, 1, 9}, eventRow,
                                new SnmpOctetString(std::string(2000, 'd').c_str())));
  EXPECT_EQ(DeliverTrap(*registry, longEvent.get(), data, message), 600);
  EXPECT_EQ(std::string(message).size(), 999u);

  // Another enterprise's trap is still logged, with a text of its own.
  auto foreign = Trap(12);
  const uint32_t other[] = {1, 3, 6, 1, 4, 1, 9999};
  foreign->SetEnterprise(other, 7);
  EXPECT_EQ(DeliverTrap(*registry, foreign.get(), data, message), 20);
  EXPECT_STREQ(message, "Enterprise-specific trap 12 received (enterprise 1.3.6.1.4.1.9999).");
}

using ElementFileTest = SimulatorOn<70>;

TEST_F(ElementFileTest, LoadingTheElementFileBindsTheControllersAndKeepsTheRestUnbound) {
  const std::string file = "tc01|" + Address("tc01") + "\ntc02|" + Address("tc02") + "\nsw01|" + Address("sw01") +
                           "\nhost01|" + Address("host01") + "\ntc03|" + Address("tc03") + "\n";
  dir_.Write("KORAgent.db", file);
  auto registry = Loaded(300);
  EXPECT_EQ(registry->ElementCount(), 5);
  // The load's own pass gave every controller its status.
  EXPECT_EQ(StatusOf(*registry, "tc01"), 0);
  EXPECT_EQ(StatusOf(*registry, "tc02"), 1);
  EXPECT_EQ(StatusOf(*registry, "tc03"), 2);
  // The switch and the host answer, but no type claims them.
  EXPECT_EQ(StatusOf(*registry, "sw01"), -1);
  EXPECT_EQ(ModelAt(*registry, Address("host01")), "Not recognised");
  registry.reset();
  EXPECT_EQ(dir_.Read("KORAgent.db"), file);
}

// A controller silent while the agent starts, and one that no type claims
// (the type list is still empty): each survives two restarts in the element
// file, is listed as unknown, and is bound and polled at the first retry
// after it answers (the simulator started later, the type installed later),
// one polling interval on the clock the test moves. An unbound element can
// be removed.
using UnboundControllerTest = SimulatorOn<100>;

TEST_F(UnboundControllerTest, SilentAndUnclaimedControllersAreKeptAndBoundOnceTheyAnswer) {
  constexpr int kInterval = 5;
  const struct {
    const char* what;
    const char* model;
    std::function<void()> mute;
    std::function<void()> answer;
  } cases[] = {
      {"unclaimed", "Not recognised", [&] { dir_.Write("devices/supported.txt", ""); },
       [&] { dir_.Write("devices/supported.txt", "famib\n"); }},
      {"silent", "Not responding", [&] { StopSimulator(); }, [&] { StartSimulator(); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string file = "tc01|" + Address("tc01") + "\nsw01|" + Address("sw01") + "\n";
    dir_.Write("KORAgent.db", file);
    c.mute();
    std::unique_ptr<ElementRegistry> registry;
    for (int start = 0; start < 3; ++start) {
      registry.reset();  // a restart: the file is saved as the agent stops
      registry = Loaded(kInterval, &clock_);
      EXPECT_EQ(dir_.Read("KORAgent.db"), file) << "start " << start;
      EXPECT_EQ(StatusOf(*registry, "tc01"), -1);
      EXPECT_EQ(ModelAt(*registry, Address("tc01")), c.model);
      EXPECT_EQ(registry->OverallStatus(), '1');
    }
    registry->RemoveElement("sw01");
    EXPECT_EQ(dir_.Read("KORAgent.db"), "tc01|" + Address("tc01") + "\n");

    c.answer();
    // One interval later the element's thread retries, and the device now
    // answers.
    ASSERT_TRUE(clock_.WaitForWaiters(1));
    clock_.Advance(seconds(kInterval));
    EXPECT_TRUE(Eventually([&] { return StatusOf(*registry, "tc01") == 0; }, seconds(kInterval + 5 + 3)));
    EXPECT_EQ(ModelAt(*registry, Address("tc01")).value_or("").rfind("Not ", 0), std::string::npos);
    EXPECT_EQ(log_.Count("INFO: Element tc01 (" + Address("tc01") + "): the device answers"), 1);
    registry.reset();
    log_.Clear();
  }
}

using SilentDeviceTest = SimulatorOn<80>;

TEST_F(SilentDeviceTest, ADeviceThatNoLongerAnswersIsUnknownAndCannotBeAdded) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc01", Address("tc01"), 3600); }), 6);
  registry->UpdateAllStatus();
  EXPECT_EQ(StatusOf(*registry, "tc01"), 0);
  StopSimulator();
  registry->UpdateAllStatus();  // waits for the session's time-out and retries
  EXPECT_EQ(StatusOf(*registry, "tc01"), 3);
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc02", Address("tc02"), 3600); }), 2011);
}

using UnitsTest = SimulatorOn<90>;

TEST_F(UnitsTest, TheStatusIsTheWorstOfAllUnitsAndNoWalkEndIsAWarning) {
  auto registry = Loaded();
  EXPECT_EQ(CodeOf([&] { registry->AddElement("tc02", Address("tc02"), 3600); }), 6);
  // The bridge's first unit warns (degraded), its drive module is ok.
  struct Step {
    const char* command;
    int32_t status;
  };
  const Step steps[] = {
      {"status tc02 warning", 1},           {"status tc02 failed --unit 2", 2}, {"status tc02 ok", 2},
      {"status tc02 unknown --unit 2", 3},  {"status tc02 unused --unit 2", 0}, {"status tc02 unused", 3},
  };
  for (const Step& step : steps) {
    Simctl(step.command);
    registry->UpdateAllStatus();
    EXPECT_EQ(StatusOf(*registry, "tc02"), step.status) << step.command;
  }
  // Walks that run to the end of the device's objects (the trap
  // registration table comes last) are answers, not errors: the only
  // warnings are the status changes to Degraded and Failed themselves.
  size_t otherWarnings = 0;
  for (const std::string& text : log_.Texts()) {
    if (text.rfind("WARNING: ", 0) == 0 && text.find(" \u2192 ") == std::string::npos) ++otherWarnings;
  }
  EXPECT_EQ(otherWarnings, 0u) << ::testing::PrintToString(log_.Texts());
}

}  // namespace
}  // namespace orla::test
