// KORAgent managing simulated tape controllers, scraped by a real Prometheus
// (Debian's prometheus, on a free port with its own storage folder) over
// HTTPS with the agent's metrics token: each controller's status comes back
// through Prometheus' query API and follows a change of tc01 at the next
// poll; the page itself passes promtool's check and needs credentials.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "platform/text/string_printf.h"
#include "tests/integration/web/loopback_https.h"
#include "tests/support/agent_process.h"
#include "tests/support/file_text.h"
#include "tests/support/free_port.h"
#include "tests/support/notify_socket.h"
#include "tests/support/shell_command.h"
#include "tests/support/simulated_devices.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"
#include "tests/support/wait_until.h"

namespace orla {
namespace {

using namespace std::chrono_literals;
using test::Contains;

// The simulated controllers tc01, tc02 and tc03 from this address on, and
// the status each one's recording starts with (ok, degraded, failed).
const char* const kControllers[][3] = {{"tc01", "127.0.5.11", "0"}, {"tc02", "127.0.5.12", "1"}, {"tc03", "127.0.5.13", "2"}};

class MetricsScrape : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir();
    ::chmod(dir_->Path().c_str(), 0755);  // the simulator may run as nobody
    ASSERT_EQ(::mkdir(dir_->File("KOR").c_str(), 0755), 0);
    ASSERT_EQ(::symlink(test::AgentProcess::BuiltAgent().c_str(), dir_->File("KORAgent").c_str()), 0);
    dir_->Write("KORAgent.cfg", "ORLA KOR Agent\n" + dir_->File("KOR") + "\nKORAgent\nTest Label\n.1.3.6.1.4.1.4413\n");
    dir_->Write("KOR/storage.ini", "60\n");  // the shortest polling interval
    std::string elements;
    for (const auto& c : kControllers) elements += std::string(c[0]) + "|" + c[1] + "\n";
    dir_->Write("KOR/KORAgent.db", elements);
    test::InstallDevicesFolder(dir_->Path());

    const int snmpPort = test::FreeLoopbackPort(SOCK_DGRAM);
    simulator_ = new test::SimulatedDevices(dir_->File("simulator"));
    const std::string started = simulator_->Start(snmpPort, kControllers[0][1]);
    ASSERT_FALSE(Contains(started, "exit status")) << started;

    https_ = {test::FreeLoopbackPort(SOCK_STREAM), dir_->Path()};
    agent_ = new test::AgentProcess();
    test::NotifySocket notify;
    ASSERT_TRUE(agent_->Start(dir_->File("KORAgent"), {},
                              {notify.EnvEntry(), StringPrintf("KORAGENT_HTTPS_PORT=%d", https_.port),
                               "KORAGENT_HTTPS_ADDRESS=127.0.0.1", StringPrintf("KORAGENT_SNMP_PORT=%d", snmpPort),
                               StringPrintf("KORAGENT_TRAP_LISTEN=udp:127.0.0.1:%d", test::FreeLoopbackPort(SOCK_DGRAM))},
                              "/"));
    ASSERT_TRUE(notify.WaitFor("READY=1", 60s)) << agent_->Output();
    ASSERT_TRUE(test::WaitUntil([] { return https_.Request("/KOR/about.htm").status == 200; }, 20s, 100ms))
        << agent_->Output();

    // The scraper's token, made by the users tool.
    int status = -1;
    dir_->Write("token", test::CommandOutput(StringPrintf("'%s' -d '%s' token 2>/dev/null", KORUSERS_PATH,
                                                          dir_->File("KORZEPD").c_str()),
                                             &status));
    ASSERT_EQ(status, 0);
    token_ = test::ReadLine(dir_->File("token"));
  }

  static void TearDownTestSuite() {
    delete prometheus_;
    delete agent_;
    delete simulator_;
    delete dir_;
  }

  static void StartPrometheus() {
    prometheusPort_ = test::FreeLoopbackPort(SOCK_STREAM);
    dir_->Write("prometheus.yml", StringPrintf(R"(global:
  scrape_interval: 1s
  scrape_timeout: 1s
scrape_configs:
  - job_name: koragent
    scheme: https
    metrics_path: /KOR/metrics
    tls_config:
      ca_file: %s
      server_name: localhost
    authorization:
      credentials_file: %s
    static_configs:
      - targets: ['127.0.0.1:%d']
)",
                                               dir_->File("KORZEPD/server.crt").c_str(), dir_->File("token").c_str(),
                                               https_.port));
    prometheus_ = new test::AgentProcess();
    ASSERT_TRUE(prometheus_->Start("prometheus", {"--config.file=" + dir_->File("prometheus.yml"),
                                                  "--storage.tsdb.path=" + dir_->File("prometheus-data"),
                                                  StringPrintf("--web.listen-address=127.0.0.1:%d", prometheusPort_)}));
  }

  // The answer of Prometheus' query API to `query`, one line per series:
  // its labels `keys` (blank-separated) and its value.
  static std::string Query(const std::string& query, const std::string& keys) {
    return test::CommandOutput(StringPrintf(
        "curl -sS --max-time 10 'http://127.0.0.1:%d/api/v1/query' --data-urlencode '%s' | python3 -c '"
        "import json, sys\n"
        "for r in json.load(sys.stdin)[\"data\"][\"result\"]:\n"
        "    print(\" \".join([r[\"metric\"].get(k, \"\") for k in \"%s\".split()] + [r[\"value\"][1]]))'",
        prometheusPort_, ("query=" + query).c_str(), keys.c_str()));
  }
  static std::string StatusOf(const std::string& element) {
    return Query("koragent_element_status{element=\"" + element + "\"}", "");
  }

  static inline test::TempDir* dir_ = nullptr;
  static inline test::SimulatedDevices* simulator_ = nullptr;
  static inline test::AgentProcess* agent_ = nullptr;
  static inline test::AgentProcess* prometheus_ = nullptr;
  static inline test::LoopbackHttps https_;
  static inline int prometheusPort_ = 0;
  static inline std::string token_;
};

TEST_F(MetricsScrape, PageNeedsCredentialsAndPassesPromtool) {
  for (const std::string& credentials : {std::string(), "-H 'Authorization: Bearer " + std::string(64, 'a') + "'"}) {
    EXPECT_EQ(https_.Request("/KOR/metrics", credentials).status, 401) << credentials;
  }
  const test::HttpsReply wrongUser = https_.Request("/KOR/metrics", "-u administrator:not-the-password");
  EXPECT_EQ(wrongUser.status, 401);
  EXPECT_TRUE(Contains(wrongUser.headers, "WWW-Authenticate: Basic realm=\"KOR\"")) << wrongUser.headers;

  const test::HttpsReply page = https_.Request("/KOR/metrics", "-H 'Authorization: Bearer " + token_ + "'");
  ASSERT_EQ(page.status, 200) << page.body;
  EXPECT_TRUE(Contains(page.headers, "text/plain; version=0.0.4")) << page.headers;
  for (const auto& c : kControllers) {
    EXPECT_TRUE(Contains(page.body, StringPrintf("koragent_element_status{element=\"%s\",address=\"%s\",model=\"", c[0],
                                                 c[1])))
        << page.body;
  }
  // The refused requests above are counted.
  EXPECT_FALSE(Contains(page.body, "koragent_login_failures_total 0\n")) << page.body;
  dir_->Write("page.txt", page.body);
  int status = -1;
  const std::string check = test::CommandOutput("promtool check metrics < '" + dir_->File("page.txt") + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << check;

  // A user of the web server by basic authentication.
  const std::string password = test::ReadLine(dir_->File("KORZEPD/administrator-password.txt"));
  EXPECT_EQ(https_.Request("/KOR/metrics", "-u 'administrator:" + password + "'").status, 200);
}

TEST_F(MetricsScrape, PrometheusSeesEachControllerAndTc01sChange) {
  StartPrometheus();
  ASSERT_TRUE(test::WaitUntil([] { return Query("up{job=\"koragent\"}", "job") == "koragent 1\n"; }, 60s, 500ms))
      << Query("up", "job instance") << prometheus_->Output();
  for (const auto& c : kControllers) {
    EXPECT_TRUE(test::WaitUntil([&] { return StatusOf(c[0]) == std::string(c[2]) + "\n"; }, 30s, 500ms))
        << c[0] << ": " << StatusOf(c[0]);
  }

  ASSERT_FALSE(Contains(simulator_->Simctl("status tc01 failed"), "exit status"));
  // The next poll comes within one polling interval (60 s).
  EXPECT_TRUE(test::WaitUntil([] { return StatusOf("tc01") == "2\n"; }, 90s, 1s)) << StatusOf("tc01");
  EXPECT_EQ(StatusOf("tc02"), "1\n");
  EXPECT_EQ(Query("koragent_overall_status", ""), "2\n");
  // Why, as an info series of its own.
  EXPECT_TRUE(test::WaitUntil(
      [] { return Query("koragent_element_status_reason_info{element=\"tc01\"}", "reason") == "Unit 1 failed 1\n"; },
      30s, 1s))
      << Query("koragent_element_status_reason_info", "element reason");
  // The polling thread's polls also read the ports' counters.
  EXPECT_EQ(Query("count(koragent_port_rx_frames_total{element=\"tc01\"})", ""), "2\n");
}

}  // namespace
}  // namespace orla
