// The web server library against hostile clients on loopback: curl and raw
// sockets (hostile_client.py) doing what an attacker with no account would.
// Each case runs its attack from loopback addresses of its own while a normal
// request comes from 127.0.0.2, and checks three things: the attack is
// refused as it should be, the normal request is answered (within a few
// seconds, where the attacks hold connections for ten or more), and the
// server process's resident memory stays within a bound.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "platform/text/string_printf.h"
#include "platform/zepa/zepa.h"
#include "tests/integration/zepa/process_runner.h"
#include "tests/integration/zepa/test_extension.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/temp_dir.h"

// Freed memory is handed back at once rather than kept for use-after-free
// detection, so that the resident size reflects what the server holds.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=4:thread_local_quarantine_size_kb=64"; }

using orla::StringPrintf;
using orla::test::ProcessRunner;
using orla::test::TestExtension;
using orla::test::WriteFile;

namespace {

constexpr unsigned kMaxConnections = 64;
constexpr unsigned kMaxPerAddress = 16;
constexpr long kRssBoundKib = 64 * 1024;

long RssKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Counts of the status codes curl printed, one per line.
std::map<int, int> StatusCounts(const std::string& out) {
  std::map<int, int> counts;
  std::istringstream in(out);
  int code = 0;
  while (in >> code) ++counts[code];
  return counts;
}

class HostileClientTest : public ::testing::Test {
 public:
  void SetUp() override {
    namespace fs = std::filesystem;
    content_ = dir_.File("content");
    fs::create_directories(content_);
    fs::create_directories(dir_.File("agent"));
    WriteFile(content_ + "/page.html", std::string(7 * 1024, 'p'));
    ASSERT_EQ(ZEPASetServerLimits(kMaxConnections, kMaxPerAddress), 1);
    for (int attempt = 0; attempt < 20 && !started_; ++attempt) {
      port_ = 15000 + (getpid() + attempt * 7) % 90;
      started_ = TestExtension::Start(dir_.File("data"), content_, dir_.File("agent"), "127.0.0.1", port_);
    }
    ASSERT_TRUE(started_);
    certificate_ = dir_.File("data/server.crt");
    password_ = dir_.File("data/administrator-password.txt");
  }

  void TearDown() override {
    if (started_) TestExtension::Stop();
    ZEPASetServerLimits(0, 0);
  }

  std::string Url(const std::string& path) const { return StringPrintf("https://localhost:%d%s", port_, path.c_str()); }
  std::string Origin() const { return StringPrintf("https://localhost:%d", port_); }

  // curl from `source`; prints the status codes, one a line.
  ProcessRunner::Result Curl(const std::string& source, std::vector<std::string> args, int timeout = 60) {
    std::vector<std::string> argv = {"curl", "-sS", "--cacert", certificate_, "--interface", source, "--max-time",
                                     std::to_string(timeout), "-w", "%{http_code}\\n"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ProcessRunner::Run(argv, "", timeout + 10);
  }

  ProcessRunner::Result Python(const std::vector<std::string>& args, int timeout = 60) {
    std::vector<std::string> argv = {"python3", KOR_SOURCE_DIR "/tests/integration/zepa/hostile_client.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    return ProcessRunner::Run(argv, "", timeout);
  }

  std::vector<std::string> Raw(const std::string& source, const std::vector<std::string>& spec) {
    std::vector<std::string> args = {"raw", "127.0.0.1", std::to_string(port_), source};
    args.insert(args.end(), spec.begin(), spec.end());
    return args;
  }

  orla::test::EventLogCapture log_;
  orla::test::TempDir dir_;
  std::string content_, certificate_, password_;
  int port_ = 0;
  bool started_ = false;
};

struct Attack {
  const char* name;
  // Runs the attack to its end; checks what the attacker got.
  std::function<void(HostileClientTest&)> run;
  // When the normal request is made, once the attack is under way.
  int probeAfterMs;
};

TEST_F(HostileClientTest, AttacksAreRefusedWhileTheServerStaysResponsive) {
  const std::string big = dir_.File("big.bin");
  {
    std::ofstream out(big, std::ios::binary);
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < 30; ++i) out << block;
  }
  // 4.9 KB of gzip that would inflate to 5 MB.
  const std::string gzipped = dir_.File("body.gz");
  ASSERT_EQ(std::system(("head -c 5000000 /dev/zero | gzip -9 > " + gzipped).c_str()), 0);

  const std::vector<Attack> attacks = {
      {"a 30 MB chunked POST is refused before its body is read",
       [&](HostileClientTest& t) {
         const auto run = t.Curl("127.0.0.3", {"-o", "/dev/null", "-H", "Origin: " + t.Origin(), "-H",
                                               "Content-Type: application/octet-stream", "-H",
                                               "Transfer-Encoding: chunked", "--data-binary", "@" + big,
                                               t.Url("/KOR/echo")});
         EXPECT_EQ(StatusCounts(run.out)[501], 1) << run.out << run.err;
       },
       100},
      {"a POST without Content-Length gets 411",
       [&](HostileClientTest& t) {
         const auto run = t.Python(t.Raw("127.0.0.3", {"POST", "/KOR/echo", "0", "0", "300000"}));
         EXPECT_TRUE(Contains(run.out, "status=411")) << run.out << run.err;
       },
       100},
      {"a compressed body gets 415",
       [&](HostileClientTest& t) {
         const auto run = t.Curl("127.0.0.3", {"-o", "/dev/null", "-H", "Origin: " + t.Origin(), "-H",
                                               "Content-Encoding: gzip", "--data-binary", "@" + gzipped,
                                               t.Url("/KOR/echo")});
         EXPECT_EQ(StatusCounts(run.out)[415], 1) << run.out << run.err;
       },
       100},
      {"two Content-Length headers get 400",
       [&](HostileClientTest& t) {
         const auto run = t.Python(t.Raw("127.0.0.3", {"POST", "/KOR/echo", "0", "0", "10",
                                                       "Content-Length: 5\\r\\nContent-Length: 10"}));
         EXPECT_TRUE(Contains(run.out, "status=400")) << run.out << run.err;
       },
       100},
      {"a body over the cap gets 413 from its declared length",
       [&](HostileClientTest& t) {
         const auto run = t.Python(t.Raw("127.0.0.3", {"POST", "/KOR/echo", "0", "0", "0",
                                                       "Content-Length: 31457280"}));
         EXPECT_TRUE(Contains(run.out, "status=413")) << run.out << run.err;
       },
       100},
      {"eight requests of 2,700 ranges each get the page once each",
       [&](HostileClientTest& t) {
         std::string ranges = "Range: bytes=0-";
         for (int i = 0; i < 2700; ++i) ranges += ",0-";
         std::vector<std::string> args = {"--parallel", "--parallel-max", "8", "-H", ranges, "-w",
                                          "%{http_code} %{size_download}\\n"};
         for (int i = 0; i < 8; ++i) args.insert(args.end(), {"-o", "/dev/null", t.Url("/KOR/page.html")});
         const auto run = t.Curl("127.0.0.3", args);
         // Each transfer prints its status, then its size.
         const auto counts = StatusCounts(run.out);
         EXPECT_EQ(counts.count(200) ? counts.at(200) : 0, 8) << run.out << run.err;
         EXPECT_EQ(counts.count(7168) ? counts.at(7168) : 0, 8) << run.out;
       },
       300},
      {"3,000 header lines of 8 KB are refused",
       [&](HostileClientTest& t) {
         const auto run = t.Python(t.Raw("127.0.0.3", {"GET", "/KOR/rights", "3000", "8192", "0"}));
         EXPECT_FALSE(Contains(run.out, "status=200")) << run.out << run.err;
         EXPECT_TRUE(Contains(run.out, "status=431") || Contains(run.out, "status=closed")) << run.out;
       },
       100},
      {"300 small header lines get 431",
       [&](HostileClientTest& t) {
         const auto run = t.Python(t.Raw("127.0.0.3", {"GET", "/KOR/rights", "300", "16", "0"}));
         EXPECT_TRUE(Contains(run.out, "status=431")) << run.out << run.err;
       },
       100},
      {"slow heads on more connections than the server has threads end at the deadline",
       [&](HostileClientTest& t) {
         // Three addresses try 24 connections each (72 > 64); each address
         // gets 16, and the head deadline (10 s) ends those.
         std::vector<std::thread> attackers;
         std::vector<std::string> outputs(3);
         for (int i = 0; i < 3; ++i) {
           attackers.emplace_back([&t, &outputs, i] {
             outputs[i] = t.Python({"slow", "127.0.0.1", std::to_string(t.port_), StringPrintf("127.0.0.%d", 3 + i),
                                    "24", "20"})
                              .out;
           });
         }
         for (auto& thread : attackers) thread.join();
         for (const std::string& out : outputs) {
           EXPECT_TRUE(Contains(out, "refused=8 closed=16 open=0")) << out;
           const double longest = std::atof(out.substr(out.find("longest=") + 8).c_str());
           EXPECT_LT(longest, 15.0) << out;
         }
       },
       2000},
      {"connections that never start TLS are limited per address and closed",
       [&](HostileClientTest& t) {
         const auto run = t.Python({"idle", "127.0.0.1", std::to_string(t.port_), "127.0.0.3", "40", "20"});
         EXPECT_TRUE(Contains(run.out, "refused=24 closed=16 open=0")) << run.out << run.err;
       },
       1000},
      {"24 wrong passwords, 12 at a time, from one address: five are checked, the rest refused at once",
       [&](HostileClientTest& t) {
         std::vector<std::string> args = {"--parallel", "--parallel-max", "12", "-H", "Origin: " + t.Origin()};
         for (int i = 0; i < 24; ++i) {
           args.insert(args.end(), {"-o", "/dev/null", "--data", "user=administrator&password=wrong-guess",
                                    t.Url("/zepa/login")});
         }
         auto counts = StatusCounts(t.Curl("127.0.0.4", args).out);
         EXPECT_LE(counts[401], 5);
         EXPECT_EQ(counts[401] + counts[429], 24);
         // The address stays blocked; another address is not.
         EXPECT_EQ(StatusCounts(t.Curl("127.0.0.4", {"-o", "/dev/null", "-H", "Origin: " + t.Origin(), "--data",
                                                    "user=administrator&password=x", t.Url("/zepa/login")})
                                    .out)[429],
                   1);
       },
       200},
  };

  for (const Attack& attack : attacks) {
    SCOPED_TRACE(attack.name);
    const long before = RssKib();
    std::atomic<long> peak{before};
    std::atomic<bool> over{false};
    std::thread sampler([&] {
      while (!over) {
        const long now = RssKib();
        if (now > peak) peak = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
      }
    });
    std::thread attacker([&] { attack.run(*this); });
    std::this_thread::sleep_for(std::chrono::milliseconds(attack.probeAfterMs));
    const auto started = std::chrono::steady_clock::now();
    const auto probe = Curl("127.0.0.2", {"-o", "/dev/null", Url("/KOR/rights")}, 5);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    attacker.join();
    over = true;
    sampler.join();
    EXPECT_EQ(StatusCounts(probe.out)[200], 1) << probe.out << probe.err << " after " << seconds << " s";
    EXPECT_LT(peak - before, kRssBoundKib) << "RSS " << before << " KiB before, " << peak << " KiB at most";
  }
}

}  // namespace
