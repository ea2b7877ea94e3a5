// The agent's SNMPv2c and SNMPv3 notifications (NotificationSender over
// SnmpNotifier) received by net-snmp's snmptrapd, which knows the agent's
// SNMPv3 user under the agent's own engine ID (traps) and under its own
// (informs); and the engine kept across restarts of the real agent.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/local_engine.h"
#include "agent/traps/notification_sender.h"
#include "agent/traps/trap_sender.h"
#include "agent/traps/trap_statistics.h"
#include "agent/web/metrics_report.h"
#include "tests/integration/snmp/trap_daemon.h"
#include "tests/support/agent_process.h"
#include "tests/support/build_tree.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/free_port.h"
#include "tests/support/notify_socket.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;

const char kAuthPass[] = "auth-secret-4711";
const char kPrivPass[] = "priv-secret-0815";
// The varbinds of the status notification, as snmptrapd -On prints them.
const char* const kFacts[] = {
    ".1.3.6.1.6.3.1.1.4.1.0 = OID: .1.3.6.1.4.1.4413.132.2.0.2",
    ".1.3.6.1.4.1.4413.132.2.1 = STRING: \"tc01 (127.0.1.11): OK -> Failed\"",
    ".1.3.6.1.4.1.4413.132.2.2 = INTEGER: 4",
    ".1.3.6.1.6.3.1.1.4.3.0 = OID: .1.3.6.1.4.1.4413.132.2",
};

uint64_t Count(const KeyedCounter& counter, const std::string& key) {
  const auto snapshot = counter.Snapshot();
  const auto it = snapshot.find(key);
  return it == snapshot.end() ? 0 : it->second;
}

class Notifications : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    std::string error;
    ASSERT_TRUE(LocalEngine::Start(engineDir_->File("snmpengine.ini"), &engine_, &error)) << error;
  }

  // snmptrapd with the agent's user under the agent's engine ID (traps)
  // and under its own (informs), and the community "public".
  static std::string ReceiverConfig() {
    const std::string user = std::string(" koruser SHA-256 ") + kAuthPass + " AES " + kPrivPass + "\n";
    return "createUser -e " + engine_.HexId() + user + "createUser" + user +
           "authUser log,execute koruser\nauthCommunity log,execute public\n";
  }
  static test::TrapDaemon Receiver() { return test::TrapDaemon("TRAP|%P|%v\n", "127.0.0.1", ReceiverConfig()); }

  // The profile "ops": authPriv, SHA-256 and AES-128.
  NotificationSender MakeSender(SnmpNotifier::Options options = {}) {
    SnmpV3Credentials credentials;
    SnmpV3Profile ops;
    ops.name = "ops";
    ops.user = "koruser";
    ops.level = SnmpV3Level::kAuthPriv;
    ops.auth = SnmpV3Auth::kSha256;
    ops.authPassPhrase = kAuthPass;
    ops.priv = SnmpV3Priv::kAes128;
    ops.privPassPhrase = kPrivPass;
    EXPECT_EQ(credentials.Put(ops), "");
    SnmpV3CredentialStore::Instance().Set(credentials);
    return NotificationSender(dir_.File("targets.ini"), options);
  }
  static SnmpNotification StatusChange() {
    return TrapSender::StatusNotification("korhost", "tc01 (127.0.1.11): OK -> Failed", 4);
  }

  test::EventLogCapture log_;
  test::TempDir dir_;
  static inline test::TempDir* engineDir_ = new test::TempDir();
  static inline LocalEngine engine_;
};

// One table: each kind of target gets the status change with its facts;
// informs are acknowledged; no pass phrase shows in an event or a count.
TEST_F(Notifications, EveryKindArrivesAtSnmptrapdWithTheTrapsFacts) {
  test::TrapDaemon receiver = Receiver();
  ASSERT_TRUE(receiver.Start()) << receiver.Output();
  const std::string host = "127.0.0.1:" + std::to_string(receiver.Port());
  struct Row {
    const char* kind;
    const char* credential;
    const char* security;  // what snmptrapd's %P says of it
    bool inform;
  } rows[] = {
      {"v2c-trap", "public", "TRAP2, SNMP v2c, community public", false},
      {"v2c-inform", "public", "INFORM, SNMP v2c, community public", true},
      {"v3-trap", "ops", "TRAP2, SNMP v3, user koruser, context", false},
      {"v3-inform", "ops", "INFORM, SNMP v3, user koruser, context", true},
  };
  NotificationSender sender = MakeSender();
  size_t received = 0;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.kind);
    const uint64_t acknowledged = Count(TrapStatistics::Instance().notificationsAcknowledged, host);
    dir_.Write("targets.ini", "127.0.0.1 " + std::to_string(receiver.Port()) + " " + row.kind + " " +
                                  row.credential + "\n");
    sender.Send(StatusChange());
    sender.WaitIdle();
    const std::vector<std::string> traps = receiver.WaitForTraps(received + 1);
    ASSERT_EQ(traps.size(), received + 1) << receiver.Output();
    const std::string& trap = traps.back();
    EXPECT_NE(trap.find(row.security), std::string::npos) << trap;
    for (const char* fact : kFacts) EXPECT_NE(trap.find(fact), std::string::npos) << fact << " in " << trap;
    EXPECT_EQ(Count(TrapStatistics::Instance().notificationsAcknowledged, host), acknowledged + (row.inform ? 1 : 0));
    received = traps.size();
  }
  // v3-only, turned on while running: the SNMPv2c target gets nothing (said
  // once), the SNMPv3 one still does.
  SnmpV3Credentials v3Only = *SnmpV3CredentialStore::Instance().Current();
  v3Only.SetV3Only(true);
  SnmpV3CredentialStore::Instance().Set(v3Only);
  const std::string port = std::to_string(receiver.Port());
  for (const char* kind : {"v2c-trap public", "v2c-inform public", "v3-trap ops"}) {
    dir_.Write("targets.ini", "127.0.0.1 " + port + " " + kind + "\n");
    sender.Send(StatusChange());
    sender.WaitIdle();
  }
  ASSERT_EQ(receiver.WaitForTraps(received + 1).size(), received + 1) << receiver.Output();
  EXPECT_NE(receiver.Traps().back().find("SNMP v3"), std::string::npos) << receiver.Traps().back();
  ++received;
  EXPECT_EQ(log_.Count("WARNING: v3-only is on: the notifications to the SNMPv2c targets " + host + " are not sent"), 1);
  v3Only.SetV3Only(false);
  SnmpV3CredentialStore::Instance().Set(v3Only);
  // A changed pass phrase is used from the next notification on: the
  // receiver, which knows the old one only, logs nothing.
  SnmpV3Credentials changed = *SnmpV3CredentialStore::Instance().Current();
  SnmpV3Profile ops = *changed.Find("ops");
  ops.authPassPhrase = "another-secret-99";
  ASSERT_EQ(changed.Put(ops), "");
  SnmpV3CredentialStore::Instance().Set(changed);
  dir_.Write("targets.ini", "127.0.0.1 " + std::to_string(receiver.Port()) + " v3-trap ops\n");
  sender.Send(StatusChange());
  sender.WaitIdle();
  ::usleep(300 * 1000);
  EXPECT_EQ(receiver.Traps().size(), received) << receiver.Output();
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsSent, host), 6u);
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsFailed, host), 0u);
  // The metrics count per target; no pass phrase in them, an event or the
  // receiver's log.
  const std::string metrics = MetricsReport::Render(nullptr, '0', nullptr);
  EXPECT_NE(metrics.find("koragent_notifications_acknowledged_total{target=\"" + host + "\"} 2"), std::string::npos)
      << metrics;
  std::vector<std::string> seen = log_.Texts();
  seen.push_back(metrics);
  seen.push_back(receiver.Output());
  for (const std::string& text : seen) {
    EXPECT_EQ(text.find(kAuthPass), std::string::npos) << text;
    EXPECT_EQ(text.find(kPrivPass), std::string::npos) << text;
  }
}

// An inform to a receiver that is down is sent again with growing waits,
// and once the receiver is up it arrives once and counts as acknowledged;
// one whose last try goes unanswered is a WARNING naming the target.
TEST_F(Notifications, InformToADownReceiverIsRetriedDeliveredOnceOrGivenUp) {
  const int port = test::FreeLoopbackPort(SOCK_DGRAM);
  const std::string host = "127.0.0.1:" + std::to_string(port);
  dir_.Write("targets.ini", "127.0.0.1 " + std::to_string(port) + " v3-inform ops\n");
  SnmpNotifier::Options quick;
  quick.timeout = 300ms;
  quick.firstWait = 200ms;
  quick.longestWait = 800ms;
  quick.retries = 40;
  NotificationSender sender = MakeSender(quick);
  sender.Send(StatusChange());
  ASSERT_TRUE(test::WaitUntil([&] { return Count(TrapStatistics::Instance().notificationsRetried, host) >= 2; }));
  test::TrapDaemon receiver = Receiver();
  ASSERT_TRUE(receiver.Start(port)) << receiver.Output();
  sender.WaitIdle();
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsAcknowledged, host), 1u);
  EXPECT_EQ(receiver.WaitForTraps(1).size(), 1u);
  // A quiet moment: no second copy follows.
  ::usleep(500 * 1000);
  EXPECT_EQ(receiver.Traps().size(), 1u) << receiver.Output();

  // Nobody listens at all: the last try gives it up, loudly.
  const int silent = test::FreeLoopbackPort(SOCK_DGRAM);
  const std::string silentHost = "127.0.0.1:" + std::to_string(silent);
  dir_.Write("targets.ini", "127.0.0.1 " + std::to_string(silent) + " v2c-inform public\n");
  quick.retries = 2;
  NotificationSender giving = MakeSender(quick);
  giving.Send(StatusChange());
  giving.WaitIdle();
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsRetried, silentHost), 2u);
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsFailed, silentHost), 1u);
  EXPECT_EQ(log_.Count("WARNING: The notification to " + silentHost + " failed: given up after 3 tries"), 1);

  // At a stop what waits is tried at once, then given up in one WARNING.
  quick.retries = 40;
  quick.firstWait = 60s;
  NotificationSender stopping = MakeSender(quick);
  for (int i = 0; i < 3; ++i) stopping.Send(StatusChange());
  ASSERT_TRUE(test::WaitUntil([&] { return Count(TrapStatistics::Instance().notificationsRetried, silentHost) >= 3; }));
  const uint64_t sent = Count(TrapStatistics::Instance().notificationsSent, silentHost);
  stopping.Finish(1s);
  EXPECT_GT(Count(TrapStatistics::Instance().notificationsSent, silentHost), sent);
  EXPECT_EQ(log_.Count("WARNING: 3 notifications to " + silentHost + " were given up: the agent stopped."), 1);
  EXPECT_EQ(Count(TrapStatistics::Instance().notificationsFailed, silentHost), 4u);
}

// The real agent, started twice from one program directory: one engine ID,
// boots one higher, and korsnmpv3 engine tells the same; run before the
// first start, korsnmpv3 engine makes the ID the agent then keeps.
TEST(AgentEngine, SurvivesARestartWithBootsGrowingByOne) {
  test::TempDir dir;
  ASSERT_EQ(::mkdir(dir.File("KOR").c_str(), 0755), 0);
  ASSERT_EQ(::symlink(test::AgentProcess::BuiltAgent().c_str(), dir.File("KORAgent").c_str()), 0);
  dir.Write("KORAgent.cfg", "ORLA KOR Agent\n" + dir.File("KOR") + "\nKORAgent\nTest\n.1.3.6.1.4.1.4413\n");
  dir.Write("KOR/storage.ini", "300\n");
  const std::string korsnmpv3 = test::BinaryDir() + "/agent/tools/korsnmpv3/korsnmpv3";
  const auto made = test::AgentProcess::Run({korsnmpv3, "-d", dir.File("KOR"), "engine"});
  std::vector<LocalEngine> runs;
  for (int run = 0; run < 2; ++run) {
    test::NotifySocket notify;
    test::AgentProcess agent;
    ASSERT_TRUE(agent.Start(dir.File("KORAgent"), {},
                            {notify.EnvEntry(), "KORAGENT_HTTPS_PORT=" + std::to_string(test::FreeLoopbackPort(SOCK_STREAM))},
                            "/"));
    ASSERT_TRUE(notify.WaitFor("READY=1")) << agent.Output();
    // This run's boots are in the file once the start-up has counted them.
    LocalEngine engine;
    ASSERT_TRUE(test::WaitUntil([&] {
      bool missing = false;
      std::string error;
      return LocalEngine::Read(dir.File("KOR/snmpengine.ini"), &engine, &missing, &error) &&
             engine.boots != (runs.empty() ? 0u : runs[0].boots);  // 0: the file korsnmpv3 made
    })) << agent.Output();
    runs.push_back(engine);
    agent.Stop();
  }
  EXPECT_EQ(runs[0].HexId(), runs[1].HexId());
  EXPECT_EQ(runs[0].HexId().substr(0, 12), "0x8000113d05");
  EXPECT_EQ(runs[1].boots, runs[0].boots + 1);
  EXPECT_EQ(made.out, "engine ID " + runs[0].HexId() +
                          "\nengine boots 0\n(made now: the agent uses this engine ID from its first start)\n")
      << made.err;
  EXPECT_EQ(runs[0].boots, 1u);
  const auto shown = test::AgentProcess::Run({korsnmpv3, "-d", dir.File("KOR"), "engine"});
  EXPECT_EQ(shown.out, "engine ID " + runs[1].HexId() + "\nengine boots " + std::to_string(runs[1].boots) + "\n")
      << shown.err;
}

}  // namespace
}  // namespace orla

namespace orla {
namespace {

// korsnmpv3 target, one table of calls in order, each with its exit code
// and what its output holds; the list never shows a community.
TEST(Korsnmpv3Target, AddsListsAndRemovesTargets) {
  test::TempDir dir;
  SnmpV3Credentials credentials;
  SnmpV3Profile ops;
  ops.name = "ops";
  ops.user = "koruser";
  ASSERT_EQ(credentials.Put(ops), "");
  std::string error;
  ASSERT_TRUE(SnmpV3CredentialFile::Save(dir.File("snmpv3.conf"), credentials, &error)) << error;
  struct Row {
    std::vector<std::string> args;
    int exitCode;
    const char* output;  // in standard output or error
  } rows[] = {
      {{"add", "10.0.0.5:162", "--community", "secret-c", "--inform"}, 0, "10.0.0.5:162 set (v2c-inform)"},
      {{"add", "[2001:db8::5]:1162", "--profile", "ops"}, 0, "[2001:db8::5]:1162 set (v3-trap)"},
      {{"add", "nms:162", "--profile", "nope"}, 1, "there is no SNMPv3 profile \"nope\""},
      {{"add", "nms:162", "--community", "c", "--profile", "ops"}, 2, "name either --community or --profile"},
      {{"add", "nms", "--community", "c"}, 2, "\"nms\" is not HOST:PORT"},
      {{"list"}, 0, "10.0.0.5:162 v2c-inform\n[2001:db8::5]:1162 v3-trap profile ops\n"},
      {{"remove", "nms:162"}, 1, "nms:162 is not a notification target"},
      {{"remove", "[2001:db8::5]:1162"}, 0, "[2001:db8::5]:1162 removed"},
      {{"list"}, 0, "10.0.0.5:162 v2c-inform\n"},
  };
  for (const Row& row : rows) {
    std::vector<std::string> argv = {test::BinaryDir() + "/agent/tools/korsnmpv3/korsnmpv3", "-d", dir.Path(), "target"};
    argv.insert(argv.end(), row.args.begin(), row.args.end());
    SCOPED_TRACE(row.args[0] + " " + (row.args.size() > 1 ? row.args[1] : ""));
    const auto result = test::AgentProcess::Run(argv);
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    EXPECT_NE((result.out + result.err).find(row.output), std::string::npos) << result.out << result.err;
    EXPECT_EQ(result.out.find("secret-c"), std::string::npos);
  }
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("targets.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
}

}  // namespace
}  // namespace orla
