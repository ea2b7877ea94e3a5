// The SNMPv3 pass phrases of a running agent show nowhere but in its
// owner-only credentials file: not in a page (list, configuration, XML,
// status, events, metrics), an event, the event-log file, the agent's
// output, nor the process listing (argv and environment) of the agent or
// of korsnmpv3, which reads them from a file and from standard input. One
// element is polled over v3, one refused with a wrong pass phrase, so both
// the happy and the failing paths have written what they write; then a v3
// trap and a v3 inform from the polled device are logged and those with a
// wrong key counted.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <string>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/shell_command.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/snmpsim_v3_users.h"
#include "tests/support/wait_until.h"

namespace orla::test {
namespace {

using namespace std::chrono_literals;

class SnmpV3Secrets : public AgentPagesFixture {};

TEST_F(SnmpV3Secrets, NoPassPhraseInAnyPageEventLogOrProcessListing) {
  ::chmod(dir_.Path().c_str(), 0755);  // the simulator may run as nobody
  const int snmpPort = FreeLoopbackPort(SOCK_DGRAM);
  SimulatedDevices simulator(dir_.File("simulator"));
  dir_.Write("v3users.txt", SnmpsimV3UsersFile());
  ASSERT_EQ(simulator.Start(snmpPort, "127.0.6.1", "tc01,tc02", dir_.File("v3users.txt")).find("exit status"),
            std::string::npos);
  dir_.Write("KOR/KORAgent.db", "tc01|127.0.6.1\ntc02|127.0.6.2\n");
  InstallDevicesFolder(dir_.Path());

  // tc01 with kor-sha256's pass phrases, tc02 with a wrong one for kor-md5.
  const SnmpsimV3User& good = kSnmpsimV3Users[1];
  const SnmpsimV3User& refused = kSnmpsimV3Users[0];
  const std::string wrong = "wrong-md5-pass-phrase";
  dir_.Write("good-auth", std::string(good.authPass) + "\n");
  const std::string tool = std::string(KORSNMPV3_PATH) + " -d " + dir_.File("KOR") + " ";
  ASSERT_EQ(RunCommand("printf '%s\\n' '" + std::string(good.privPass) + "' | " + tool + "profile add good --user " +
                       good.user + " --level authPriv --auth SHA-256 --auth-pass-file " + dir_.File("good-auth") +
                       " --priv AES --priv-pass-file - --context tc01 >/dev/null"),
            0);
  ASSERT_EQ(RunCommand("printf '%s\\n' '" + wrong + "' | " + tool + "profile add refused --user " + refused.user +
                       " --level authNoPriv --auth MD5 --auth-pass-file - --context tc02 >/dev/null"),
            0);
  ASSERT_EQ(RunCommand(tool + "assign good 127.0.6.1 >/dev/null && " + tool + "assign refused 127.0.6.2 >/dev/null"),
            0);

  Start({StringPrintf("KORAGENT_SNMP_PORT=%d", snmpPort), "KORAGENT_EVENT_LOG=" + dir_.File("events.log")});
  const std::string jar = dir_.File("jar");
  Login(jar);
  std::string status;
  ASSERT_TRUE(WaitUntil(
      [&] {
        status = Page("status.json", jar).body;
        return status.find("\"failure\":\"Authentication failed\"") != std::string::npos &&
               status.find("\"name\":\"tc01\",\"address\":\"127.0.6.1\",\"status\":0") != std::string::npos;
      },
      30s, 200ms))
      << status;

  // A v3 trap from tc01 as its polled user is logged (its engine ID, which
  // polling learned, is the only one the trap can carry); one with a wrong
  // key is counted, not logged.
  // The device's own boots and time go with it, as a device sends them.
  auto field = [&status](const std::string& name) {
    const size_t at = status.find_first_not_of('"', status.find("\"" + name + "\":") + name.size() + 3);
    return status.substr(at, status.find_first_of("\",}", at) - at);
  };
  const std::string engineId = field("engineId");
  const std::string keys = StringPrintf("-u %s -l authPriv -a SHA-256 -A KEY -x AES -X %s 127.0.0.1:%d ''", good.user,
                                        good.privPass, trapPort_);
  // The same user's informs go to the agent's own engine: acknowledged (a
  // warm start logged), or with a wrong key refused and not acknowledged.
  const std::string trap = StringPrintf("snmptrap -v3 -e 0x%s -Z %s,%d ", engineId.c_str(),
                                        field("engineBoots").c_str(), std::stoi(field("engineTime")) + 2) +
                           keys + " .1.3.6.1.6.3.1.1.5.1";
  const std::string inform = "snmpinform -t 2 -r 1 -v3 " + keys + " .1.3.6.1.6.3.1.1.5.2";
  struct Send {
    std::string command;
    const char* key;
    bool acknowledged;
  } sends[] = {{trap, good.authPass, true}, {trap, "wrong-trap-pass-phrase", true},
               {inform, good.authPass, true}, {inform, "wrong-inform-pass-phrase", false}};
  for (const Send& send : sends) {
    SCOPED_TRACE(send.command);
    std::string command = send.command;
    command.replace(command.find("KEY"), 3, send.key);
    EXPECT_EQ(RunCommand(command + " .1.3.6.1.6.3.18.1.3.0 a 127.0.6.1 2>/dev/null") == 0, send.acknowledged);
  }
  ASSERT_TRUE(WaitUntil(
      [&] {
        const std::string events = ReadFile(dir_.File("events.log"));
        return events.find("cold start") != std::string::npos && events.find("warm start") != std::string::npos;
      },
      20s, 100ms))
      << ReadFile(dir_.File("events.log")) << Page("metrics", jar).body;
  ASSERT_TRUE(WaitUntil(
      [&] { return Page("metrics", jar).body.find("koragent_traps_snmpv3_refused_total{reason=\"wrong_key\"} 2") != std::string::npos; },
      20s, 100ms));
  const std::string events = ReadFile(dir_.File("events.log"));
  EXPECT_EQ(events.find("cold start"), events.rfind("cold start")) << "logged once";
  EXPECT_EQ(events.find("warm start"), events.rfind("warm start")) << "logged once";
  EXPECT_NE(events.find("1 SNMPv3 traps were refused"), std::string::npos);

  std::string everything = status;
  for (const char* page : {"elements.html", "agent_config.htm", "kor.xml", "events.json?limit=1000", "events.html",
                           "events.csv", "metrics"}) {
    const HttpsReply reply = Page(page, jar);
    EXPECT_EQ(reply.status, 200) << page;
    everything += reply.headers + reply.body;
  }
  everything += ReadFile(dir_.File("events.log")) + agent_.Output();
  // (The simulator, a peer, has the users' keys on its own command line.)
  everything += CommandOutput("ps -eo args | grep -v snmpsimd");
  everything += CommandOutput(StringPrintf("tr '\\0' '\\n' </proc/%d/environ", agent_.Pid()));
  EXPECT_NE(everything.find("Authentication failed"), std::string::npos) << "the failure itself is told";
  for (const std::string& secret : {std::string(good.authPass), std::string(good.privPass), wrong}) {
    EXPECT_EQ(everything.find(secret), std::string::npos) << secret;
  }
  simulator.Stop();
}

}  // namespace
}  // namespace orla::test
