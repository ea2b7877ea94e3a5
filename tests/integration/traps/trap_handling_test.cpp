// The whole trap path in one process: traps sent with net-snmp's snmptrap
// (and raw datagrams) reach the trap listener, which hands those of managed
// elements to the trap sender; the sender logs them and refreshes every
// status, and a status change sends the agent's own trap to every trap
// destination, received here by net-snmp's snmptrapd.
//
// The elements are bound to the registry's test plug-in (fake_plugin.so),
// which describes enterprise-specific trap N as "fake trap N" with one byte
// of event data (and a scratch byte behind it) and drops specific trap 99.
#include <sys/socket.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/agent_host.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/traps/notification_sender.h"
#include "platform/sysinfo/system_info.h"
#include "tests/support/agent_process.h"
#include "tests/support/free_port.h"
#include "tests/integration/snmp/trap_daemon.h"
#include "tests/integration/traps/trap_stack.h"
#include "tests/support/shell_command.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/udp_datagram.h"
#include "tests/unit/devices/devices_fixture.h"
#include "tests/unit/traps/ber_builder.h"
#include "tests/support/bytes.h"

namespace orla {
namespace {

using namespace std::chrono_literals;
using test::FromHex;
using test::Read16;
using test::Read32;

// The trap port of this process. Trap reception is registered once per
// process, so every test of a process uses the port the first one chose.
int ListenPort() {
  static const int port = test::FreeLoopbackPort(SOCK_DGRAM);
  return port;
}

// The texts of a trap event record, in order, from offset 72 to the event data.
std::vector<std::pair<uint16_t, std::string>> RecordTexts(const std::vector<uint8_t>& record) {
  std::vector<std::pair<uint16_t, std::string>> texts;
  size_t at = 72;
  const size_t end = Read32(record, 4);
  while (at + 4 <= end) {
    const uint16_t length = Read16(record, at + 2);
    texts.emplace_back(Read16(record, at), length == 0 ? std::string()
                                                      : std::string(reinterpret_cast<const char*>(&record[at + 4])));
    at += 4 + length;
  }
  return texts;
}

// snmptrapd's line for a trap:
// TRAP|receive address|version|community|agent address|enterprise|generic|specific|bindings
constexpr char kTrapFormat[] = "TRAP|%b|%s|%u|%a|%N|%w|%q|%V~%v\n";
// snmptrapd listens on every address: the destinations are 127.0.0.1 and
// 127.0.0.2.
constexpr char kTrapDaemonAddress[] = "0.0.0.0";
// The entry of a plug-in that lacks a function (code 3006).
constexpr char kPluginFailure[] = "CRITICAL: A failure has been detected in a required DLL function.";

class TrapHandling : public test::DevicesFixture {
 protected:
  void SetUp() override {
    DevicesFixture::SetUp();
    ASSERT_NE(ListenPort(), 0);
    settings_.TrapListen("udp:127.0.0.1:" + std::to_string(ListenPort()));
    Restack(nullptr);
  }
  // The trap path afresh, its status changes also sent to `notifications`,
  // those of elements in `maintenance` held back.
  void Restack(NotificationSender* notifications, MaintenanceBook* maintenance = nullptr) {
    stack_.reset();
    stack_ = std::make_unique<test::TrapStack>(dir_.Path(), 300, notifications, maintenance);
    destinations_ = stack_->Destinations();
    sender_ = stack_->Sender();
    registry_ = stack_->Registry();
  }
  void TearDown() override {
    stack_.reset();
    DevicesFixture::TearDown();
  }

  void LoadAndListen() { stack_->LoadAndListen(); }

  // snmptrap -v 1 from `agent` (the trap's agent address).
  void SendV1(const std::string& agent, const std::string& generic, const std::string& specific,
              const std::string& bindings = "") {
    const std::string command = "timeout 20 snmptrap -v 1 -c public 127.0.0.1:" + std::to_string(ListenPort()) +
                                " .1.3.6.1.4.1.4413.7 " + agent + " " + generic + " " + specific + " 1234 " +
                                bindings;
    ASSERT_EQ(test::RunCommand(command), 0) << command;
  }

  void SendRaw(const std::vector<uint8_t>& bytes) { test::SendDatagram(ListenPort(), bytes); }

  std::vector<test::CapturedEvent> TrapEvents() {
    std::vector<test::CapturedEvent> out;
    // The entries with data, but for a plug-in failure's (the loader's text).
    for (auto& e : log_.Events()) {
      if (e.eventId == 0x40000004u && e.text != kPluginFailure) out.push_back(e);
    }
    return out;
  }

  std::unique_ptr<test::TrapStack> stack_;
  TrapDestinationList* destinations_ = nullptr;
  TrapSender* sender_ = nullptr;
  ElementRegistry* registry_ = nullptr;
};

TEST_F(TrapHandling, ManagedV1TrapGivesOneWarningWithTheRecordAndRefreshesEveryStatus) {
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.50", 300);
  registry_->AddElement("tc02", "127.0.3.51", 300);
  const int before50 = UpdatesOf("127.0.3.50");
  const int before51 = UpdatesOf("127.0.3.51");

  SendV1("127.0.3.50", "0", "0");
  ASSERT_TRUE(log_.WaitFor("WARNING: A Fibre device has performed a cold start."));
  // Every element's status is refreshed after the entry.
  EXPECT_TRUE(WaitFor([&](test::FakePluginControl& c) {
    return c.updatesByAddress["127.0.3.50"] > before50 && c.updatesByAddress["127.0.3.51"] > before51;
  }));
  std::this_thread::sleep_for(300ms);
  const auto events = TrapEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "WARNING: A Fibre device has performed a cold start.");
  EXPECT_EQ(events[0].eventType, 2);

  const auto record = FromHex(events[0].dataHex);
  ASSERT_GE(record.size(), 72u);
  EXPECT_EQ(Read32(record, 0), 0xFFFFFFFDu);
  EXPECT_EQ(Read32(record, 8), record.size());
  EXPECT_EQ(Read16(record, 12), 2);
  EXPECT_EQ(Read16(record, 14), 1);
  EXPECT_EQ(Read32(record, 16), 3u);
  EXPECT_EQ(Read16(record, 20), 0x77);  // the plug-in's class codes
  EXPECT_EQ(Read16(record, 22), 14);
  EXPECT_EQ(Read32(record, 24), 0u);
  EXPECT_EQ(Read32(record, 40), 7u);
  EXPECT_EQ(Read16(record, 44), 65);
  const auto texts = RecordTexts(record);
  ASSERT_EQ(texts.size(), 6u);
  EXPECT_EQ(texts[0].first, 129);
  EXPECT_EQ(texts[0].second, TrapSender::AgentOsName() + " " + TrapSender::AgentOsVersion());
  EXPECT_EQ(texts[1], std::make_pair(uint16_t{225}, std::string("10:00:00:00:00:00:00:01")));
  EXPECT_EQ(texts[2], std::make_pair(uint16_t{289}, std::string("tc01")));
  EXPECT_EQ(texts[3], std::make_pair(uint16_t{1025}, std::string("10:00:00:00:00:00:00:01")));
  EXPECT_EQ(texts[4], std::make_pair(uint16_t{1057}, std::string("Fake tape controller")));
  EXPECT_EQ(texts[5], std::make_pair(uint16_t{1089}, std::string("1.0")));
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + Read32(record, 4), record.end()),
            (std::vector<uint8_t>{0, 0, 0, 0}));
}

TEST_F(TrapHandling, UnmanagedAddressGivesNothing) {
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.52", 300);
  SendV1("127.0.3.53", "0", "0");
  // The datagram's source is 127.0.0.1 for both; only the trap's own agent
  // address counts. A warm start from the managed element follows in queue
  // order and marks the end.
  SendV1("127.0.3.52", "1", "0");
  ASSERT_TRUE(log_.WaitFor("warm start"));
  const auto events = TrapEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "WARNING: A Fibre device has performed a warm start.");
}

TEST_F(TrapHandling, EnterpriseSpecificTrapIsDescribedByThePlugInOrDropped) {
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.54", 300);
  SendV1("127.0.3.54", "6", "99");  // dropped by the plug-in
  SendV1("127.0.3.54", "6", "5", ".1.3.6.1.4.1.4413.7.1 s detail");
  ASSERT_TRUE(log_.WaitFor("fake trap"));
  std::this_thread::sleep_for(300ms);
  const auto events = TrapEvents();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "WARNING: fake trap 5");
  const auto record = FromHex(events[0].dataHex);
  // One byte of event data, padded to four with zeros (not with the scratch
  // byte the plug-in leaves behind its answer).
  EXPECT_EQ(std::vector<uint8_t>(record.begin() + Read32(record, 4), record.end()),
            (std::vector<uint8_t>{5, 0, 0, 0}));
  EXPECT_EQ(Read32(record, 24), 0u);
}

TEST_F(TrapHandling, MalformedDatagramsLeaveTheListenerRunning) {
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.55", 300);
  using namespace test::ber;
  const Bytes good = V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413}), Ip(127, 0, 3, 55), 0, 0, 7, {});
  SendRaw(Bytes(good.begin(), good.begin() + 15));             // truncated
  SendRaw(Bytes(65000, 0xA4));                                 // over-long garbage
  SendRaw({0x30, 0x84, 0x7f, 0xff, 0xff, 0xff, 0x02, 0x01});   // lying length
  SendRaw({0x01, 0x02, 0x03});                                 // garbage
  SendRaw(good);
  ASSERT_TRUE(log_.WaitFor("cold start"));
  EXPECT_EQ(TrapEvents().size(), 1u);
}

TEST_F(TrapHandling, HandlingThatFailsGoesOnWithTheNextTrap) {
  // A type whose plug-in lacks HandleTrap: dispatching raises 3006.
  WriteDevicesFile("supported.txt", "partial\n");
  WriteFakeType("partial", "", "fake_partial.so");
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.56", 300);
  SendV1("127.0.3.56", "6", "5");
  SendV1("127.0.3.56", "0", "0");
  ASSERT_TRUE(log_.WaitFor("cold start"));
  EXPECT_EQ(log_.CountWithData(kPluginFailure, "undefined symbol: HandleTrap"), 1)
      << ::testing::PrintToString(log_.Texts());
  EXPECT_EQ(TrapEvents().size(), 1u);
}

TEST_F(TrapHandling, ABurstIsLoggedWholeInOrderWithAFewRefreshesWhileASilentElementSlowsEachPass) {
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.60", 300);
  registry_->AddElement("tc02", "127.0.3.61", 300);
  {
    // tc02 does not answer: every pass waits for it until it is let go.
    std::lock_guard<std::mutex> hold(Control().mutex);
    Control().silent.insert("127.0.3.61");
  }
  using namespace test::ber;
  constexpr int kBurst = 200;
  for (int i = 0; i < kBurst; ++i) {
    SendRaw(V1Trap("public", Oid({1, 3, 6, 1, 4, 1, 4413, 7}), Ip(127, 0, 3, 60), 6, 1000 + i, 7, {}));
  }
  // Every trap is logged while the first refresh still waits for tc02.
  ASSERT_TRUE(log_.WaitFor("WARNING: fake trap 1", kBurst, 20s)) << TrapEvents().size();
  const auto events = TrapEvents();
  ASSERT_EQ(events.size(), static_cast<size_t>(kBurst));
  for (int i = 0; i < kBurst; ++i) {
    EXPECT_EQ(events[i].text, "WARNING: fake trap " + std::to_string(1000 + i));
    EXPECT_EQ(Read32(FromHex(events[i].dataHex), 24), static_cast<uint32_t>(i));  // sequence numbers in order
  }
  EXPECT_TRUE(WaitFor([](test::FakePluginControl& c) { return c.insideByAddress["127.0.3.61"] == 1; }));

  {
    std::lock_guard<std::mutex> hold(Control().mutex);
    Control().silent.clear();
    Control().changed.notify_all();
  }
  stack_->Listener()->WaitForRefresh();
  // The first trap's request started a pass; all the others merged into
  // at most one more.
  EXPECT_GE(stack_->Listener()->RefreshCount(), 1u);
  EXPECT_LE(stack_->Listener()->RefreshCount(), 2u);
  // The trapping element's own refresh at once, and the passes.
  EXPECT_LE(UpdatesOf("127.0.3.60"), 3);
}

TEST_F(TrapHandling, StatusChangeSendsTheAgentsTrapToEveryDestination) {
  test::TrapDaemon daemon(kTrapFormat, kTrapDaemonAddress);
  ASSERT_TRUE(daemon.Start());
  settings_.TrapPort(daemon.Port());
  destinations_->Add("127.0.0.1");
  destinations_->Add("no-such-host.invalid");
  destinations_->Add("127.0.0.2");
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.57", 300);
  // The element fails; the next status pass reports the change, and the
  // one after, which finds it still failed, has it notified
  // (KORAGENT_NOTIFY_HOLD_POLLS, 2 by default).
  SetDevice("127.0.3.57", [](test::FakeDevice& d) { d.status = 2; });
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();

  const auto traps = daemon.WaitForTraps(2);
  ASSERT_EQ(traps.size(), 2u) << daemon.Traps().size();
  const std::string host = SystemInfo::ComputerName();
  for (size_t i = 0; i < 2; ++i) {
    const std::string& t = traps[i];
    EXPECT_NE(t.find(i == 0 ? "->[127.0.0.1]" : "->[127.0.0.2]"), std::string::npos) << t;
    EXPECT_NE(t.find("|0|sorrel|" + AgentHost::Address() + "|.1.3.6.1.4.1.4413.132.2|6|.2|"),
              std::string::npos)
        << t;
    EXPECT_NE(t.find(".1.3.6.1.2.1.1.5 = STRING: \"" + host + "\"~"), std::string::npos) << t;
    EXPECT_NE(t.find(".1.3.6.1.4.1.4413.132.2.1 = STRING: \"tc01\"~"), std::string::npos) << t;
    // Overall status 2 (an element failed): state code 4.
    EXPECT_NE(t.find(".1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4~"), std::string::npos) << t;
    EXPECT_NE(t.find(".1.3.6.1.4.1.4413.132.2.3 = STRING: \"A FibreChannel interconnect device has changed state.\""),
              std::string::npos)
        << t;
  }
  // The destination that does not resolve is logged and skipped.
  EXPECT_EQ(log_.Count("WARNING: Unable to retrieve agent host information."), 1)
      << ::testing::PrintToString(log_.Texts());
}

TEST_F(TrapHandling, RemovalAndRecoverySendTheOverallStatus) {
  test::TrapDaemon daemon(kTrapFormat, kTrapDaemonAddress);
  ASSERT_TRUE(daemon.Start());
  settings_.TrapPort(daemon.Port());
  destinations_->Add("127.0.0.1");
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.58", 300);
  registry_->AddElement("tc02", "127.0.3.59", 300);
  // The first passes settle the new elements' statuses (and may report
  // them: a status is notified once a second poll finds it again).
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();
  const size_t settled = stack_->SettledTraps(daemon);

  SetDevice("127.0.3.59", [](test::FakeDevice& d) { d.status = 1; });
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();
  auto traps = daemon.WaitForTraps(settled + 1);
  ASSERT_EQ(traps.size(), settled + 1);
  EXPECT_NE(traps[settled].find("132.2.1 = STRING: \"tc02\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 3~"),
            std::string::npos)
      << traps[settled];
  // Removing the degraded element leaves only healthy ones: state code 2.
  registry_->RemoveElement("tc02");
  traps = daemon.WaitForTraps(settled + 2);
  ASSERT_EQ(traps.size(), settled + 2) << daemon.Output();
  EXPECT_NE(traps[settled + 1].find("132.2.1 = STRING: \"tc02\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 2~"),
            std::string::npos)
      << traps[settled + 1];
}

// During a maintenance window the element's failure is logged but no trap
// goes out; ending the window early sends the one trap of the failure
// still standing.
TEST_F(TrapHandling, MaintenanceWindowHoldsTheTrapBackUntilItEnds) {
  test::TrapDaemon daemon(kTrapFormat, kTrapDaemonAddress);
  ASSERT_TRUE(daemon.Start());
  settings_.TrapPort(daemon.Port());
  MaintenanceBook maintenance(dir_.File("maintenance"));
  Restack(nullptr, &maintenance);
  destinations_->Add("127.0.0.1");
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.63", 300);
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();
  const size_t settled = stack_->SettledTraps(daemon);

  const MaintenanceBook::Request request{"oper1", "drive swap", 0, maintenance.NowMs() + 30 * 60 * 1000};
  ASSERT_EQ(maintenance.Set({"tc01"}, request, nullptr), MaintenanceBook::Outcome::kDone);
  SetDevice("127.0.3.63", [](test::FakeDevice& d) { d.status = 2; });
  // Found, and held for a second poll: notified but for the window.
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();
  EXPECT_EQ(log_.Count("CRITICAL: tc01 (127.0.3.63): OK \u2192 Failed"), 1) << ::testing::PrintToString(log_.Texts());
  EXPECT_EQ(stack_->SettledTraps(daemon), settled) << daemon.Output();

  ASSERT_EQ(maintenance.End("tc01", nullptr), MaintenanceBook::Outcome::kDone);
  const auto traps = daemon.WaitForTraps(settled + 1);
  stack_.reset();  // before the book it reads
  ASSERT_EQ(traps.size(), settled + 1) << daemon.Output();
  EXPECT_NE(traps[settled].find("132.2.1 = STRING: \"tc01\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4~"),
            std::string::npos)
      << traps[settled];
}

// With no trap host in client.ini, a status change still reaches the
// SNMPv2c/SNMPv3 notification targets, with the same facts.
TEST_F(TrapHandling, StatusChangeReachesTheNotificationTargetsWithoutTrapHosts) {
  test::TrapDaemon daemon(kTrapFormat, kTrapDaemonAddress);
  ASSERT_TRUE(daemon.Start());
  dir_.Write("targets.ini", "127.0.0.1 " + std::to_string(daemon.Port()) + " v2c-trap public\n");
  NotificationSender notifications(dir_.File("targets.ini"));
  Restack(&notifications);
  LoadAndListen();
  registry_->AddElement("tc01", "127.0.3.62", 300);
  SetDevice("127.0.3.62", [](test::FakeDevice& d) { d.status = 2; });
  registry_->UpdateAllStatus();
  registry_->UpdateAllStatus();  // the failure held for a second poll
  sender_->WaitForStatusTraps();
  notifications.WaitIdle();
  const auto traps = daemon.WaitForTraps(1);
  stack_.reset();
  ASSERT_FALSE(traps.empty()) << daemon.Output();
  const std::string& t = traps.back();
  EXPECT_NE(t.find(".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.4413.132.2.0.2~"), std::string::npos) << t;
  EXPECT_NE(t.find(".1.3.6.1.4.1.4413.132.2.1 = STRING: \"tc01\"~.1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4~"),
            std::string::npos)
      << t;
}

TEST_F(TrapHandling, NothingIsSentWithoutDestinationsOrBeforeTheLoad) {
  test::TrapDaemon daemon(kTrapFormat, kTrapDaemonAddress);
  ASSERT_TRUE(daemon.Start());
  settings_.TrapPort(daemon.Port());
  // A change as the registry hands it over (no elements: overall '0').
  const auto change = [](bool afterLoad) {
    StatusChange c;
    c.name = "tc01";
    c.previous = 0;
    c.current = 2;
    c.afterLoad = afterLoad;
    return c;
  };
  // Before the initial load has ended, a change sends nothing.
  destinations_->Add("127.0.0.1");
  sender_->NotifyStatusChange(change(false));
  // Loaded, with an empty list: nothing either, and nothing is logged.
  registry_->LoadElements();
  destinations_->Remove("127.0.0.1");
  log_.Clear();
  sender_->NotifyStatusChange(change(true));
  sender_->WaitForStatusTraps();
  EXPECT_TRUE(daemon.Traps().empty()) << daemon.Output();
  EXPECT_TRUE(log_.Events().empty()) << ::testing::PrintToString(log_.Texts());
  // With a destination again the same call arrives: the daemon was listening.
  destinations_->Add("127.0.0.1");
  sender_->NotifyStatusChange(change(true));
  EXPECT_EQ(daemon.WaitForTraps(1).size(), 1u);
  // v3-only, turned on while running: no SNMPv1 trap (it carries a
  // community), said once however many changes follow; off, they go again.
  SnmpV3Credentials v3Only;
  v3Only.SetV3Only(true);
  SnmpV3CredentialStore::Instance().Set(v3Only);
  for (int i = 0; i < 2; ++i) sender_->NotifyStatusChange(change(true));
  sender_->WaitForStatusTraps();
  SnmpV3CredentialStore::Instance().Set(SnmpV3Credentials());
  sender_->NotifyStatusChange(change(true));
  EXPECT_EQ(daemon.WaitForTraps(2).size(), 2u) << daemon.Output();
  EXPECT_EQ(log_.Count("WARNING: v3-only is on: the SNMPv1 traps to the trap hosts of client.ini are not sent"), 1);
}

}  // namespace
}  // namespace orla
