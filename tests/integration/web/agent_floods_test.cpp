// KORAgent against a party with no account flooding it from loopback.
// Refused credentials (hostile_client.py: a wrong bearer token, a malformed
// basic header): the event-log files grow by a line or two, not one a
// request; the status changes logged before still answer
// events.json?kind=status, complete; the metrics count every request.
// Spoofed SNMPv1 traps naming a managed element (bench/trap_flood.py, from an
// address that manages nothing) while a second element sends a real trap:
// at most one status pass (the refresh interval is an hour here), and the
// second element's trap is logged though the flood is dropped beyond its
// share.
// Forged SNMPv3 (bench/v3_flood.py, snmptrap -v3) naming a managed element
// whose profile they lack: nothing is logged or counted for the element,
// the refusals are counted by reason, and a flood of made-up engine IDs
// from one address neither hides another element's real trap nor gets
// past its budget of refusals.
// A change made with korusers while the agent runs (without
// KORAGENT_EVENT_LOG, as under sudo) and one made on a page still answer
// events.json?kind=change, complete, after spoofed traps have rotated every
// line the event-log files had away.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/free_port.h"
#include "tests/support/shell_command.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;
using test::Contains;

constexpr const char* kHostileClient = KOR_SOURCE_DIR "/tests/integration/zepa/hostile_client.py";

class AgentFloods : public test::AgentPagesFixture {
 protected:
  // The value of `series` (name and labels) on the metrics page; 0 when absent.
  long Sample(const std::string& series) {
    const std::string page = "\n" + Page("metrics", dir_.File("jar")).body;
    const size_t at = page.find("\n" + series + " ");
    return at == std::string::npos ? 0 : std::atol(page.c_str() + at + series.size() + 2);
  }
};

TEST_F(AgentFloods, RefusedCredentialsCostAFewLinesAndHideNoEarlierStatusChange) {
  const std::string log = dir_.File("events.jsonl");
  std::string earlier;
  for (int i = 0; i < 5; ++i) {
    earlier += StringPrintf("{\"time\":\"2026-01-01T10:00:0%d.000Z\",\"event_type\":2,\"text\":\"WARNING: tc0%d "
                            "(10.0.0.%d): OK \u2192 Failed\",\"data\":\"\"}\n", i, i, i);
  }
  dir_.Write("events.jsonl", earlier);
  Start({"KORAGENT_EVENT_LOG=" + log});
  const auto size = [&] { return std::filesystem::file_size(log); };  // 24,000 lines would rotate it
  const uintmax_t before = size();
  const test::AgentProcess::Result flood = test::AgentProcess::Run(
      {"python3", kHostileClient, "refused", "127.0.0.1", std::to_string(https_.port), "127.0.0.3", "24000", "4",
       "/KOR/metrics"}, "", 300);
  ASSERT_TRUE(Contains(flood.out, "sent=24000 ") && Contains(flood.out, "s401=24000")) << flood.out << flood.err;
  EXPECT_FALSE(std::filesystem::exists(log + ".1"));
  EXPECT_LT(size() - before, 10u * 1024);
  Login(dir_.File("jar"));
  const std::string status = Page("events.json?kind=status", dir_.File("jar")).body;
  EXPECT_TRUE(Contains(status, "\"total\":5,\"complete\":true")) << status;
  EXPECT_TRUE(Contains(status, "tc00 (10.0.0.0): OK \u2192 Failed")) << status;
  EXPECT_EQ(Sample("koragent_repeated_warnings_total{kind=\"refused_credentials\"}"), 24000);
}

TEST_F(AgentFloods, SpoofedTrapFloodCostsOnePassAndHidesNoOtherElementsTrap) {
  ::chmod(dir_.Path().c_str(), 0755);  // the simulator may run as nobody
  const int snmpPort = test::FreeLoopbackPort(SOCK_DGRAM);
  test::SimulatedDevices simulator(dir_.File("simulator"));
  ASSERT_EQ(simulator.Start(snmpPort, "127.0.8.1", "tc01,tc02").find("exit status"), std::string::npos);
  dir_.Write("KOR/KORAgent.db", "tc01|127.0.8.1\ntc02|127.0.8.2\n");
  test::InstallDevicesFolder(dir_.Path());
  Start({StringPrintf("KORAGENT_SNMP_PORT=%d", snmpPort), "KORAGENT_TRAP_REFRESH_INTERVAL=3600",
         "KORAGENT_EVENT_LOG=" + dir_.File("events.jsonl")});
  const std::string jar = dir_.File("jar");
  Login(jar);
  // The load's pass over both elements is over.
  ASSERT_TRUE(test::WaitUntil([&] { return Sample("koragent_status_pass_duration_seconds_count") >= 1; }, 60s, 200ms));
  const long passes = Sample("koragent_status_pass_duration_seconds_count");
  const long polls = Sample("koragent_poll_duration_seconds_count");

  std::thread flood([&] {
    const auto run = test::AgentProcess::Run({"python3", KOR_SOURCE_DIR "/bench/trap_flood.py", "127.0.0.1",
                                              std::to_string(trapPort_), "127.0.0.1", "20000", "0", "127.0.8.1"},
                                             "", 120);
    EXPECT_TRUE(Contains(run.out, "sent=20000 ")) << run.out << run.err;
  });
  // The real trap goes once the flood is being dropped beyond its share.
  const bool dropping = test::WaitUntil(
      [&] { return Sample("koragent_traps_dropped_total{reason=\"source_share\"}") > 0; }, 60s, 20ms);
  EXPECT_EQ(test::RunCommand(StringPrintf("snmptrap -v 1 -c public --clientaddr=127.0.8.2 127.0.0.1:%d "
                                          ".1.3.6.1.3.94 127.0.8.2 0 0 ''", trapPort_)), 0);
  flood.join();
  ASSERT_TRUE(dropping) << "the flood was never dropped beyond its share, so it tests nothing";
  std::string events;
  EXPECT_TRUE(test::WaitUntil([&] {
    events = Page("events.json?element=tc02&text=cold", jar).body;
    return Contains(events, "\"total\":1,");
  }, 60s, 200ms)) << events;
  // The first trap's pass over both elements, and each trapping element alone once.
  EXPECT_LE(Sample("koragent_status_pass_duration_seconds_count") - passes, 1);
  EXPECT_LE(Sample("koragent_poll_duration_seconds_count") - polls, 2 + 2);
}

TEST_F(AgentFloods, ForgedSnmpV3SpeaksForNoElementAndAnEngineFloodHidesNoRealTrap) {
  ::chmod(dir_.Path().c_str(), 0755);  // the simulator may run as nobody
  const int snmpPort = test::FreeLoopbackPort(SOCK_DGRAM);
  test::SimulatedDevices simulator(dir_.File("simulator"));
  ASSERT_EQ(simulator.Start(snmpPort, "127.0.9.1", "tc01,tc02").find("exit status"), std::string::npos);
  dir_.Write("KOR/KORAgent.db", "tc01|127.0.9.1\ntc02|127.0.9.2\n");
  test::InstallDevicesFolder(dir_.Path());
  // A profile for an address nothing polls: its user is one the agent
  // takes, so the flood below reaches the engine check.
  const std::string tool = std::string(KORSNMPV3_PATH) + " -d " + dir_.File("KOR") + " ";
  ASSERT_EQ(test::RunCommand("printf 'flood-auth-pass\\nflood-priv-pass\\n' | " + tool +
                             "profile add far --user kor-far --level authPriv --auth SHA-256 --auth-pass-file - "
                             "--priv AES --priv-pass-file - >/dev/null && " + tool + "assign far 127.0.9.77 >/dev/null"),
            0);
  Start({StringPrintf("KORAGENT_SNMP_PORT=%d", snmpPort), "KORAGENT_TRAP_REFRESH_INTERVAL=3600",
         "KORAGENT_EVENT_LOG=" + dir_.File("events.jsonl")});
  const std::string jar = dir_.File("jar");
  Login(jar);
  ASSERT_TRUE(test::WaitUntil([&] { return Sample("koragent_status_pass_duration_seconds_count") >= 1; }, 60s, 200ms));

  // The far profile's user with good keys, but tc01 has no profile; and an
  // unknown user: neither is logged for tc01.
  const std::string naming = StringPrintf(" 127.0.0.1:%d '' .1.3.6.1.6.3.1.1.5.1 .1.3.6.1.6.3.18.1.3.0 a 127.0.9.1",
                                          trapPort_);
  EXPECT_EQ(test::RunCommand("snmptrap -v3 -l authPriv -u kor-far -a SHA-256 -A flood-auth-pass -x AES -X "
                             "flood-priv-pass -e 0x8000123409090901 --clientaddr=127.0.9.1" + naming),
            0);
  EXPECT_EQ(test::RunCommand("snmptrap -v3 -l noAuthNoPriv -u intruder -e 0x8000123409090901 --clientaddr=127.0.9.1" +
                             naming),
            0);
  ASSERT_TRUE(test::WaitUntil([&] {
    return Sample("koragent_traps_snmpv3_refused_total{reason=\"unknown_user\"}") >= 1 &&
           Sample("koragent_traps_snmpv3_refused_total{reason=\"unknown_engine\"}") >= 1;
  }, 30s, 100ms));

  // 20,000 made-up engine IDs from one address, and a real trap from tc02
  // once the address is past its budget.
  std::thread flood([&] {
    const auto run = test::AgentProcess::Run({"python3", KOR_SOURCE_DIR "/bench/v3_flood.py", "127.0.0.1",
                                              std::to_string(trapPort_), "kor-far", "0", "20000", "0", "1"},
                                             "", 120);
    EXPECT_TRUE(Contains(run.out, "sent=20000 ")) << run.out << run.err;
  });
  const bool dropping = test::WaitUntil(
      [&] { return Sample("koragent_traps_dropped_total{reason=\"source_share\"}") > 0; }, 60s, 20ms);
  EXPECT_EQ(test::RunCommand(StringPrintf("snmptrap -v 1 -c public --clientaddr=127.0.9.2 127.0.0.1:%d "
                                          ".1.3.6.1.3.94 127.0.9.2 0 0 ''", trapPort_)),
            0);
  flood.join();
  ASSERT_TRUE(dropping) << "the flood was never turned away before decoding, so it tests nothing";
  std::string events;
  EXPECT_TRUE(test::WaitUntil([&] {
    events = Page("events.json?element=tc02&text=cold", jar).body;
    return Contains(events, "\"total\":1,");
  }, 60s, 200ms)) << events;
  events = Page("events.json?element=tc01", jar).body;
  EXPECT_FALSE(Contains(events, "cold")) << events;
  EXPECT_EQ(Sample("koragent_element_traps_received_total{element=\"tc01\"}"), 0);
  // The budget: at most its burst and what refilled while the flood lasted.
  EXPECT_LT(Sample("koragent_traps_snmpv3_refused_total{reason=\"unknown_engine\"}"), 2000);
}

TEST_F(AgentFloods, ChangesOutliveATrapFloodThatRotatesTheEventLog) {
  dir_.Write("KOR/KORAgent.db", "tc01|127.0.8.1\n");  // no device answers for it
  const std::string log = dir_.File("events.jsonl");
  Start({StringPrintf("KORAGENT_SNMP_PORT=%d", test::FreeLoopbackPort(SOCK_DGRAM)),
         "KORAGENT_TRAP_REFRESH_INTERVAL=3600", "KORAGENT_EVENT_LOG=" + log, "KORAGENT_EVENT_LOG_MAX_SIZE=64K",
         "KORAGENT_EVENT_LOG_FILES=2"});
  const std::string jar = dir_.File("jar");
  Login(jar);
  const test::AgentProcess::Result tool = test::AgentProcess::Run(
      {"env", "-u", "KORAGENT_EVENT_LOG", KORUSERS_PATH, "-d", dir_.File("KORZEPD"), "add", "reader", "KORAccess=1"},
      "reader-pass\n", 60);
  ASSERT_EQ(tool.exitCode, 0) << tool.out << tool.err;
  EXPECT_EQ(Page("agent_config.html", jar, "polling_interval=7&change=Change+Interval").status, 200);
  const char* const kChanges[] = {"Change by root from this host: added the user reader",
                                  "Change by administrator from 127.0.0.1: "};
  const auto expectEveryChange = [&](const char* when) {
    const std::string changes = Page("events.json?kind=change", jar).body;
    EXPECT_TRUE(Contains(changes, "\"total\":2,\"complete\":true")) << when << changes;
    for (const char* change : kChanges) EXPECT_TRUE(Contains(changes, change)) << when << changes;
  };
  expectEveryChange("before the flood: ");
  // The tool's change is on the first page of all events too.
  EXPECT_TRUE(Contains(Page("events.json?limit=5", jar).body, kChanges[0]));

  const auto run = test::AgentProcess::Run({"python3", KOR_SOURCE_DIR "/bench/trap_flood.py", "127.0.0.1",
                                            std::to_string(trapPort_), "127.0.0.1", "300", "300", "127.0.8.1"},
                                           "", 120);
  EXPECT_TRUE(Contains(run.out, "sent=300 ")) << run.out << run.err;
  // The page's change line has left both event-log files.
  const auto inLog = [&] { return Contains(test::ReadFile(log) + test::ReadFile(log + ".1"), "Change by"); };
  EXPECT_TRUE(test::WaitUntil([&] { return !inLog(); }, 60s, 200ms)) << "the flood never rotated the log";
  expectEveryChange("after the flood: ");
}

}  // namespace
}  // namespace orla
