// The alarms against Debian's prometheus-alertmanager, started on a free
// loopback port with a webhook receiver of the test's own (a small HTTP
// server writing one line per alert it is told of) and an e-mail receiver
// pointed at an SMTP sink (aiosmtpd), group_wait short: an alarm pushed
// reaches the webhook and the mailbox, its clearing resolves it, an
// acknowledgement relabels it, a maintenance silence silences it, an
// Alertmanager that is away and comes back loses nothing, one that holds
// its connections without answering holds up no other (nor the pusher when
// it is taken out of the file, nor Stop), and the silences of maintenance
// windows are taken over by the next pusher (a restart).
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "agent/alarms/alert_pusher.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "tests/support/agent_process.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/shell_command.h"
#include "tests/support/temp_dir.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using std::chrono::seconds;

// Writes "STATUS label=value,..." (labels sorted) for every alert of every
// notification it is posted.
constexpr char kWebhook[] = R"(import http.server, json, sys
out = sys.argv[2]
class Hook(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = json.loads(self.rfile.read(int(self.headers["Content-Length"])))
        with open(out, "a") as f:
            for a in body["alerts"]:
                f.write(a["status"] + " " + ",".join(k + "=" + v for k, v in sorted(a["labels"].items())) + "\n")
        self.send_response(200)
        self.end_headers()
http.server.HTTPServer(("127.0.0.1", int(sys.argv[1])), Hook).serve_forever()
)";

// A TCP port of the test's own that takes connections (the kernel
// completes them into the backlog) and never answers on them.
class SilentPeer {
 public:
  SilentPeer() {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (fd_ >= 0 && bind(fd_, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd_, 16) == 0 &&
        getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      port_ = ntohs(address.sin_port);
    }
  }
  ~SilentPeer() { Release(); }
  int Port() const { return port_; }
  // Whether a connection waits in the backlog (a client's call is under way).
  bool Connected() const {
    pollfd waiting{fd_, POLLIN, 0};
    return fd_ >= 0 && poll(&waiting, 1, 0) == 1;
  }
  // Closes the port: the connections it held are reset.
  void Release() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

class AlertmanagerTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    amPort_ = test::FreeLoopbackPort(SOCK_STREAM);
    const int hookPort = test::FreeLoopbackPort(SOCK_STREAM);
    const int smtpPort = test::FreeLoopbackPort(SOCK_STREAM);
    dir_->Write("webhook.py", kWebhook);
    dir_->Write("alertmanager.yml", StringPrintf(R"(route:
  receiver: people
  group_by: [alertname, element, kind, acknowledged]
  group_wait: 100ms
  group_interval: 200ms
  repeat_interval: 1h
receivers:
  - name: people
    webhook_configs:
      - url: http://127.0.0.1:%d/hook
        send_resolved: true
    email_configs:
      - to: tape-admins@example.org
        from: koragent@example.org
        smarthost: 127.0.0.1:%d
        require_tls: false
        send_resolved: true
)",
                                                 hookPort, smtpPort));
    dir_->Write("alerting.conf", StringPrintf("alertmanager http://127.0.0.1:%d\n", amPort_));
    hook_ = new test::AgentProcess();
    ASSERT_TRUE(hook_->Start("/usr/bin/python3", {dir_->File("webhook.py"), std::to_string(hookPort),
                                                  dir_->File("hook.txt")}));
    smtp_ = new test::AgentProcess();
    ASSERT_TRUE(smtp_->Start("/usr/bin/aiosmtpd", {"-n", "-l", StringPrintf("127.0.0.1:%d", smtpPort)},
                             {"PYTHONUNBUFFERED=1"}));
    alertmanager_ = new test::AgentProcess();
    StartAlertmanager();
  }

  static void TearDownTestSuite() {
    delete alertmanager_;
    delete smtp_;
    delete hook_;
    delete dir_;
  }

  static void StartAlertmanager(test::AgentProcess* process = alertmanager_, int port = amPort_) {
    ASSERT_TRUE(process->Start("prometheus-alertmanager",
                               {"--config.file=" + dir_->File("alertmanager.yml"),
                                "--storage.path=" + dir_->File(StringPrintf("alertmanager-data-%d", port)),
                                StringPrintf("--web.listen-address=127.0.0.1:%d", port), "--cluster.listen-address="}));
    ASSERT_TRUE(test::WaitUntil([port] { return !Query("/-/ready", port).empty(); }, seconds(30))) << process->Output();
  }

  // The body of a GET of the Alertmanager's `path`; empty when it did not answer 2xx.
  static std::string Query(const std::string& path, int port = amPort_) {
    return test::CommandOutput(StringPrintf("curl -sf --max-time 5 'http://127.0.0.1:%d%s'", port, path.c_str()));
  }
  // What `python` (an expression over `items`) makes of the JSON list at
  // `path`.
  static std::string Listed(const std::string& path, const std::string& python, int port = amPort_) {
    return test::CommandOutput(StringPrintf("curl -sf --max-time 5 'http://127.0.0.1:%d%s' | /usr/bin/python3 -c '"
                                            "import json, sys\nitems = json.load(sys.stdin)\nprint(%s, end=\"\")'",
                                            port, path.c_str(), python.c_str()));
  }
  // The state Alertmanager gives the alert of `element` ("active",
  // "suppressed"), or empty when it has none.
  static std::string StateOf(const std::string& element, int port = amPort_) {
    return Listed("/api/v2/alerts",
                  "\" \".join(a[\"status\"][\"state\"] for a in items if a[\"labels\"][\"element\"] == \"" +
                      element + "\")",
                  port);
  }
  // The ids of the silences in force (active) whose comment starts with `comment`.
  static std::string ActiveSilences(const std::string& comment) {
    return Listed("/api/v2/silences", "\" \".join(s[\"id\"] for s in items if s[\"status\"][\"state\"] == "
                                      "\"active\" and s[\"comment\"].startswith(\"" + comment + "\"))");
  }
  static bool HookSaw(const std::string& line) {
    return test::WaitUntil([&line] { return test::ReadFile(dir_->File("hook.txt")).find(line + "\n") != std::string::npos; },
                           seconds(20));
  }
  static std::string Line(const char* status, const std::string& element, const char* extra = "") {
    return StringPrintf("%s %saddress=127.0.9.1,alertname=KORElementAlarm,element=%s,kind=status,severity=critical",
                        status, extra, element.c_str());
  }

  // A pusher over alarms the test sets, with short intervals; `silences`
  // hands it the windows before it starts, as the agent does.
  void StartPusher(const std::string& config = "alerting.conf", int timeoutSeconds = 2,
                   const std::function<void(AlertPusher&)>& silences = nullptr) {
    AlertPusher::Options options;
    options.checkMs = 50;
    options.resendMs = 2000;
    options.retryMinMs = 100;
    options.retryMaxMs = 400;
    options.timeoutSeconds = timeoutSeconds;
    pusher_ = std::make_unique<AlertPusher>(dir_->File(config), [this] {
      std::lock_guard<std::mutex> hold(mutex_);
      return alarms_;
    }, options);
    if (silences) silences(*pusher_);
    pusher_->Start();
  }
  // The figures of the Alertmanager at `port`; none when the pusher has none.
  std::optional<AlertPusher::Figures> FiguresOf(int port) {
    for (const AlertPusher::Figures& f : pusher_->Statistics()) {
      if (f.url == StringPrintf("http://127.0.0.1:%d", port)) return f;
    }
    return std::nullopt;
  }
  void Raise(const std::string& element, Alarm::State state = Alarm::State::kRaised) {
    Alarm alarm;
    alarm.element = element;
    alarm.address = "127.0.9.1";
    alarm.kind = Alarm::kStatus;
    alarm.id = Alarm::MakeId(element, alarm.kind, "");
    alarm.severity = 2;
    alarm.reason = "Drive 1 failed";
    alarm.sinceMs = 1000;
    alarm.state = state;
    if (state == Alarm::State::kAcknowledged) alarm.acknowledgement.user = "operator";
    std::lock_guard<std::mutex> hold(mutex_);
    std::erase_if(alarms_, [&element](const Alarm& a) { return a.element == element; });
    alarms_.push_back(alarm);
    if (pusher_) pusher_->Poke();
  }
  void Clear(const std::string& element) {
    std::lock_guard<std::mutex> hold(mutex_);
    std::erase_if(alarms_, [&element](const Alarm& a) { return a.element == element; });
    if (pusher_) pusher_->Poke();
  }

  test::EventLogCapture events_;
  std::mutex mutex_;
  std::vector<Alarm> alarms_;
  std::unique_ptr<AlertPusher> pusher_;

  static inline test::TempDir* dir_ = nullptr;
  static inline test::AgentProcess* alertmanager_ = nullptr;
  static inline test::AgentProcess* hook_ = nullptr;
  static inline test::AgentProcess* smtp_ = nullptr;
  static inline int amPort_ = 0;
};

TEST_F(AlertmanagerTest, AnAlarmReachesWebhookAndMailboxAndItsClearingResolvesIt) {
  StartPusher();
  Raise("lib1");
  EXPECT_TRUE(HookSaw(Line("firing", "lib1"))) << test::ReadFile(dir_->File("hook.txt"));
  EXPECT_TRUE(test::WaitUntil([] { return smtp_->Output().find("[FIRING:1] KORElementAlarm") != std::string::npos; },
                              seconds(20))) << smtp_->Output();
  EXPECT_NE(smtp_->Output().find("lib1"), std::string::npos);
  Clear("lib1");
  EXPECT_TRUE(HookSaw(Line("resolved", "lib1"))) << test::ReadFile(dir_->File("hook.txt"));
  EXPECT_TRUE(test::WaitUntil([] { return smtp_->Output().find("[RESOLVED] KORElementAlarm") != std::string::npos; },
                              seconds(20)));
}

TEST_F(AlertmanagerTest, AnAcknowledgementRelabelsTheAlert) {
  StartPusher();
  Raise("lib2");
  ASSERT_TRUE(HookSaw(Line("firing", "lib2")));
  Raise("lib2", Alarm::State::kAcknowledged);
  EXPECT_TRUE(HookSaw(Line("firing", "lib2", "acknowledged=true,"))) << test::ReadFile(dir_->File("hook.txt"));
  EXPECT_TRUE(HookSaw(Line("resolved", "lib2"))) << test::ReadFile(dir_->File("hook.txt"));
  Clear("lib2");
  EXPECT_TRUE(HookSaw(Line("resolved", "lib2", "acknowledged=true,")));
}

TEST_F(AlertmanagerTest, AMaintenanceSilenceSilencesTheElement) {
  StartPusher();
  MaintenanceSilences* silences = pusher_.get();
  const int64_t now = Clock::System()->WallMilliseconds();
  silences->Silence("lib3", now - 1000, now + 3600 * 1000, "operator", "Drive swap");
  ASSERT_TRUE(test::WaitUntil([] { return Query("/api/v2/silences").find("Drive swap") != std::string::npos; },
                              seconds(20)));
  Raise("lib3");
  EXPECT_TRUE(test::WaitUntil([] { return StateOf("lib3") == "suppressed"; }, seconds(20))) << StateOf("lib3");
  silences->Unsilence("lib3");
  EXPECT_TRUE(test::WaitUntil([] { return StateOf("lib3") == "active"; }, seconds(20))) << StateOf("lib3");
  EXPECT_TRUE(HookSaw(Line("firing", "lib3")));
  EXPECT_NE(Query("/api/v2/silences").find("\"state\":\"expired\""), std::string::npos);
}

TEST_F(AlertmanagerTest, AnAlertmanagerAwayAndBackLosesNothing) {
  StartPusher();
  Raise("lib4");
  ASSERT_TRUE(HookSaw(Line("firing", "lib4")));
  alertmanager_->Stop();
  Raise("lib5");
  Raise("lib4", Alarm::State::kAcknowledged);
  ASSERT_TRUE(events_.WaitFor("cannot be reached", 1, seconds(20)));
  ASSERT_TRUE(test::WaitUntil([this] {
    const auto figures = pusher_->Statistics();
    return figures.size() == 1 && !figures[0].up && figures[0].failures >= 3 && figures[0].queued > 0;
  }));
  StartAlertmanager();
  EXPECT_TRUE(HookSaw(Line("firing", "lib5"))) << test::ReadFile(dir_->File("hook.txt"));
  EXPECT_TRUE(HookSaw(Line("firing", "lib4", "acknowledged=true,")));
  EXPECT_TRUE(events_.WaitFor("is reachable again"));
  // One WARNING however many retries failed, one INFO when it came back.
  EXPECT_EQ(events_.Count("cannot be reached"), 1);
  EXPECT_EQ(events_.Count("is reachable again"), 1);
  EXPECT_TRUE(test::WaitUntil([this] { return pusher_->Statistics()[0].queued == 0; }));
}

// The silent Alertmanager comes first in the file: before each had its own
// thread, the real one waited behind its call.
TEST_F(AlertmanagerTest, ASilentAlertmanagerHoldsUpNoOther) {
  SilentPeer silent;
  ASSERT_NE(silent.Port(), 0);
  dir_->Write("two.conf", StringPrintf("alertmanager http://127.0.0.1:%d\nalertmanager http://127.0.0.1:%d\n",
                                       silent.Port(), amPort_));
  StartPusher("two.conf", 120);
  Raise("lib6");
  ASSERT_TRUE(test::WaitUntil([] { return StateOf("lib6") == "active"; }, seconds(20))) << StateOf("lib6");
  // Still in its first call: nothing taken, nothing failed.
  const std::optional<AlertPusher::Figures> held = FiguresOf(silent.Port());
  EXPECT_TRUE(silent.Connected());
  ASSERT_TRUE(held.has_value());
  EXPECT_TRUE(held->up && held->sent == 0 && held->failures == 0 && held->queued > 0);
  // Released and come up as a real Alertmanager, it gets what waited.
  silent.Release();
  test::AgentProcess second;
  StartAlertmanager(&second, silent.Port());
  EXPECT_TRUE(test::WaitUntil([&silent] { return StateOf("lib6", silent.Port()) == "active"; }, seconds(20)));
  EXPECT_TRUE(test::WaitUntil([this, &silent] {
    const auto figures = FiguresOf(silent.Port());
    return figures && figures->up && figures->queued == 0;
  }));
  EXPECT_TRUE(FiguresOf(amPort_)->up);
  Clear("lib6");
  EXPECT_TRUE(test::WaitUntil([&silent] { return StateOf("lib6", silent.Port()).empty(); }, seconds(20)));
}

// Taken out of the file while its call hangs: its thread is let go, the
// other goes on.
TEST_F(AlertmanagerTest, AnAlertmanagerTakenOutOfTheFileIsLetGo) {
  SilentPeer silent;
  dir_->Write("changing.conf", StringPrintf("alertmanager http://127.0.0.1:%d\nalertmanager http://127.0.0.1:%d\n",
                                            silent.Port(), amPort_));
  StartPusher("changing.conf", 120);
  ASSERT_TRUE(test::WaitUntil([&silent] { return silent.Connected(); }));
  dir_->Write("changing.conf", StringPrintf("alertmanager http://127.0.0.1:%d\n", amPort_));
  ASSERT_TRUE(test::WaitUntil([this] { return pusher_->Statistics().size() == 1; }));
  Raise("lib9");
  EXPECT_TRUE(test::WaitUntil([] { return StateOf("lib9") == "active"; }, seconds(20))) << StateOf("lib9");
  EXPECT_TRUE(FiguresOf(amPort_).has_value());
}

// Stop does not wait for a call that hangs (its timeout here: two minutes).
TEST_F(AlertmanagerTest, StopAbandonsACallThatHangs) {
  SilentPeer silent;
  dir_->Write("silent.conf", StringPrintf("alertmanager http://127.0.0.1:%d\n", silent.Port()));
  StartPusher("silent.conf", 120);
  ASSERT_TRUE(test::WaitUntil([&silent] { return silent.Connected(); }));
  std::atomic<bool> stopped{false};
  std::thread stopper([this, &stopped] {
    pusher_->Stop();
    stopped = true;
  });
  EXPECT_TRUE(test::WaitUntil([&stopped] { return stopped.load(); }));
  silent.Release();  // ends the call in any case
  stopper.join();
  EXPECT_EQ(events_.Count("cannot be reached"), 0);
}

// A restart: the old pusher stopped, a new one handed the windows that
// still stand. It adopts the silence of a standing window (no second one),
// expires the one of a window that ended meanwhile, and ending a window
// early ends its silence.
TEST_F(AlertmanagerTest, ANewPusherTakesOverTheSilences) {
  const int64_t now = Clock::System()->WallMilliseconds();
  StartPusher();
  pusher_->Silence("lib7", now - 1000, now + 3600 * 1000, "operator", "Library move");
  pusher_->Silence("lib8", now - 1000, now + 3600 * 1000, "operator", "Robot service");
  ASSERT_TRUE(test::WaitUntil([] {
    return !ActiveSilences("Library move").empty() && !ActiveSilences("Robot service").empty();
  }, seconds(20)));
  const std::string before = ActiveSilences("Library move");
  pusher_.reset();
  StartPusher("alerting.conf", 2, [now](AlertPusher& pusher) {
    pusher.Silence("lib7", now - 1000, now + 3600 * 1000, "operator", "Library move");
  });
  ASSERT_TRUE(test::WaitUntil([this] {
    const auto figures = FiguresOf(amPort_);
    return figures && figures->queued == 0;
  }));
  EXPECT_EQ(ActiveSilences("Library move"), before);
  EXPECT_EQ(ActiveSilences("Robot service"), "");
  pusher_->Unsilence("lib7");
  EXPECT_TRUE(test::WaitUntil([] { return ActiveSilences("Library move").empty(); }, seconds(20)));
}

}  // namespace
}  // namespace orla
