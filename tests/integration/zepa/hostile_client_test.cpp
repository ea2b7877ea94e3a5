// The web server library against hostile clients on loopback: curl and raw
// sockets (hostile_client.py) doing what an attacker with no account would.
// Each case runs its attack from loopback addresses of its own while a normal
// request comes from 127.0.0.2, and checks three things: the attack is
// refused as it should be, the normal request is answered (within a few
// seconds, where the attacks hold connections for ten or more), and the
// server process's resident memory grows no more than a bound.
//
// The bound is measured in the same run, by well-behaved clients doing the
// same kind of work: as many connections as the limits let three addresses
// open, asking one request after another (for the attacks on connections
// and requests), and logging in with the right password the way the guessing
// attack sends its guesses, twelve at once from one address (for password
// guessing, where each check costs much memory on purpose; the throttle lets
// five attempts of an address run at once, so some of the twelve are turned
// away, as the attack's are).
// What the process grows by then is what its limits allow anyone to cost;
// no attack may cost more than its kind's baseline plus a margin
// (kMarginKib: runs of the same work differ by up to 15 MiB on a loaded
// machine). An attack whose cost followed what it sends (a buffered
// 30 MB body, 24 MB of header lines, guesses checked without a limit)
// would exceed it.
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
#include "tests/integration/zepa/extension_server_test.h"
#include "tests/support/agent_process.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"
#include "tests/support/shell_command.h"

// Freed memory is handed back at once rather than kept for use-after-free
// detection, so that the resident size reflects what the server holds.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=4:thread_local_quarantine_size_kb=64"; }

using orla::StringPrintf;
using orla::test::Contains;
using orla::test::AgentProcess;

namespace {

constexpr unsigned kMaxConnections = 64;
constexpr unsigned kMaxPerAddress = 16;
constexpr long kMarginKib = 24 * 1024;

long RssKib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return 0;
}

// Counts of the status codes curl printed, one per line.
std::map<int, int> StatusCounts(const std::string& out) {
  std::map<int, int> counts;
  std::istringstream in(out);
  int code = 0;
  while (in >> code) ++counts[code];
  return counts;
}

class HostileClientTest : public orla::test::ExtensionServerTest {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir_.File("content"));
    std::filesystem::create_directories(dir_.File("agent"));
    orla::test::WriteFile(dir_.File("content/page.html"), std::string(7 * 1024, 'p'));
    ASSERT_EQ(ZEPASetServerLimits(kMaxConnections, kMaxPerAddress), 1);
    StartServer(dir_.File("data"), dir_.File("content"), dir_.File("agent"));
  }

  void TearDown() override {
    ExtensionServerTest::TearDown();
    ZEPASetServerLimits(0, 0);
  }

  // curl from `source`; prints the status codes, one a line.
  AgentProcess::Result CurlFrom(const std::string& source, std::vector<std::string> args, int timeout = 60) {
    std::vector<std::string> argv = {"curl", "-sS", "--cacert", Certificate(), "--interface", source, "--max-time",
                                     std::to_string(timeout), "-w", "%{http_code}\\n"};
    argv.insert(argv.end(), args.begin(), args.end());
    return AgentProcess::Run(argv, "", timeout + 10);
  }

  // Runs `work` and returns how far the process's resident memory grew
  // meanwhile (KiB, at its peak). A normal request from 127.0.0.2,
  // `probeAfterMs` into the work, must be answered within 5 seconds.
  long Growth(const std::string& name, const std::function<void()>& work, int probeAfterMs) {
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
    std::thread worker([&] {
      SCOPED_TRACE(name);  // traces belong to their thread
      work();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(probeAfterMs));
    const auto started = std::chrono::steady_clock::now();
    const auto probe = CurlFrom("127.0.0.2", {"-o", "/dev/null", Url("/KOR/rights")}, 5);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    worker.join();
    over = true;
    sampler.join();
    EXPECT_EQ(StatusCounts(probe.out)[200], 1) << probe.out << probe.err << " after " << seconds << " s";
    return peak - before;
  }

  AgentProcess::Result Python(const std::vector<std::string>& args, int timeout = 60) {
    std::vector<std::string> argv = {"python3", KOR_SOURCE_DIR "/tests/integration/zepa/hostile_client.py"};
    argv.insert(argv.end(), args.begin(), args.end());
    return AgentProcess::Run(argv, "", timeout);
  }
};

// Which baseline an attack is held to.
enum class Kind { kConnections, kLogins };

struct Attack {
  std::string name;
  // Runs the attack to its end; checks what the attacker got.
  std::function<void()> run;
  // When the normal request is made, once the attack is under way.
  int probeAfterMs;
  Kind kind = Kind::kConnections;
};

TEST_F(HostileClientTest, AttacksAreRefusedWhileTheServerStaysResponsive) {
  // Files of `mib` MiB to post.
  const auto bodyFile = [&](const std::string& name, int mib) {
    const std::string path = dir_.File(name);
    std::ofstream out(path, std::ios::binary);
    const std::string block(1 << 20, 'x');
    for (int i = 0; i < mib; ++i) out << block;
    return path;
  };
  const std::string big = bodyFile("big.bin", 30);
  const std::string eightMib = bodyFile("eight.bin", 8);
  // 4.9 KB of gzip that would inflate to 5 MB.
  const std::string gzipped = dir_.File("body.gz");
  ASSERT_EQ(orla::test::RunCommand("head -c 5000000 /dev/zero | gzip -9 > " + gzipped), 0);

  std::vector<Attack> attacks;
  // Bodies posted from curl, refused with `status`.
  const struct {
    const char* name;
    std::vector<std::string> headers;
    std::string file;
    int status;
  } bodies[] = {
      {"a 30 MB chunked POST is refused before its body is read",
       {"Content-Type: application/octet-stream", "Transfer-Encoding: chunked"}, big, 501},
      {"a compressed body gets 415", {"Content-Encoding: gzip"}, gzipped, 415},
  };
  for (const auto& b : bodies) {
    attacks.push_back({b.name, [&, b] {
      std::vector<std::string> args = {"-o", "/dev/null", "-H", "Origin: " + Origin()};
      for (const std::string& header : b.headers) args.insert(args.end(), {"-H", header});
      args.insert(args.end(), {"--data-binary", "@" + b.file, Url("/KOR/echo")});
      const auto run = CurlFrom("127.0.0.3", args);
      EXPECT_EQ(StatusCounts(run.out)[b.status], 1) << run.out << run.err;
    }, 100});
  }
  // Raw requests (hostile_client.py raw: method, path, header lines and
  // their size, body bytes, further header lines) and the answer expected.
  const struct {
    const char* name;
    std::vector<std::string> request;
    const char* answer;
  } raws[] = {
      {"a POST without Content-Length gets 411", {"POST", "/KOR/echo", "0", "0", "300000"}, "status=411"},
      {"two Content-Length headers get 400",
       {"POST", "/KOR/echo", "0", "0", "10", "Content-Length: 5\\r\\nContent-Length: 10"}, "status=400"},
      {"a body over the cap gets 413 from its declared length",
       {"POST", "/KOR/echo", "0", "0", "0", "Content-Length: 31457280"}, "status=413"},
      {"a declared length that is not a number gets 400",
       {"POST", "/KOR/echo", "0", "0", "0", "Content-Length: 12x"}, "status=400"},
      {"300 small header lines get 431", {"GET", "/KOR/rights", "300", "16", "0"}, "status=431"},
  };
  const auto raw = [&](const std::vector<std::string>& request) {
    std::vector<std::string> args = {"raw", "127.0.0.1", std::to_string(port_), "127.0.0.3"};
    args.insert(args.end(), request.begin(), request.end());
    return Python(args);
  };
  for (const auto& r : raws) {
    attacks.push_back({r.name, [&, r] {
      const auto run = raw(r.request);
      EXPECT_TRUE(Contains(run.out, r.answer)) << run.out << run.err;
    }, 100});
  }
  attacks.push_back({"a POST of 8 MiB sent whole, as browsers send it, sees its 413 ten times in ten", [&] {
    // No "Expect: 100-continue": the body follows the head at once, whole.
    for (int i = 0; i < 10; ++i) {
      const auto run = CurlFrom("127.0.0.3", {"-o", "/dev/null", "-H", "Origin: " + Origin(), "-H", "Expect:", "-H",
                                              "Content-Type: application/octet-stream", "--data-binary",
                                              "@" + eightMib, Url("/KOR/echo")});
      EXPECT_EQ(StatusCounts(run.out)[413], 1) << i << ": " << run.out << run.err;
    }
  }, 300});
  attacks.push_back({"3,000 header lines of 8 KB are refused", [&] {
    const auto run = raw({"GET", "/KOR/rights", "3000", "8192", "0"});
    EXPECT_FALSE(Contains(run.out, "status=200")) << run.out << run.err;
    EXPECT_TRUE(Contains(run.out, "status=431") || Contains(run.out, "status=closed")) << run.out;
  }, 100});
  attacks.push_back({"eight requests of 2,700 ranges each get the page once each", [&] {
    std::string ranges = "Range: bytes=0-";
    for (int i = 0; i < 2700; ++i) ranges += ",0-";
    std::vector<std::string> args = {"--parallel", "--parallel-max", "8", "-H", ranges, "-w",
                                     "%{http_code} %{size_download}\\n"};
    for (int i = 0; i < 8; ++i) args.insert(args.end(), {"-o", "/dev/null", Url("/KOR/page.html")});
    // Each transfer prints its status, then its size.
    const auto run = CurlFrom("127.0.0.3", args);
    auto counts = StatusCounts(run.out);
    EXPECT_EQ(counts[200], 8) << run.out << run.err;
    EXPECT_EQ(counts[7168], 8) << run.out;
  }, 300});
  attacks.push_back({"slow heads on more connections than the server has threads end at the deadline", [&] {
    // Three addresses try 24 connections each (72 > 64); each address gets
    // 16, and the head deadline (10 s) ends those.
    std::vector<std::thread> attackers;
    std::vector<std::string> outputs(3);
    for (int i = 0; i < 3; ++i) {
      attackers.emplace_back([&, i] {
        const std::string source = StringPrintf("127.0.0.%d", 3 + i);
        outputs[i] = Python({"slow", "127.0.0.1", std::to_string(port_), source, "24", "20"}).out;
      });
    }
    for (auto& thread : attackers) thread.join();
    for (const std::string& out : outputs) {
      EXPECT_TRUE(Contains(out, "refused=8 closed=16 open=0")) << out;
      const double longest = std::atof(out.substr(out.find("longest=") + 8).c_str());
      EXPECT_LT(longest, 15.0) << out;
    }
  }, 2000});
  attacks.push_back({"connections that never start TLS are limited per address and closed", [&] {
    const auto run = Python({"idle", "127.0.0.1", std::to_string(port_), "127.0.0.3", "40", "20"});
    EXPECT_TRUE(Contains(run.out, "refused=24 closed=16 open=0")) << run.out << run.err;
  }, 1000});
  attacks.push_back({"24 wrong passwords, 12 at a time, from one address: five are checked, the rest refused at once",
                     [&] {
    const std::vector<std::string> guess = {"-o", "/dev/null", "--data", "user=administrator&password=wrong-guess",
                                            Url("/zepa/login")};
    std::vector<std::string> args = {"--parallel", "--parallel-max", "12", "-H", "Origin: " + Origin()};
    for (int i = 0; i < 24; ++i) args.insert(args.end(), guess.begin(), guess.end());
    auto counts = StatusCounts(CurlFrom("127.0.0.4", args).out);
    EXPECT_LE(counts[401], 5);
    EXPECT_EQ(counts[401] + counts[429], 24);
    // The address stays blocked; another address is not.
    std::vector<std::string> again = {"-H", "Origin: " + Origin()};
    again.insert(again.end(), guess.begin(), guess.end());
    EXPECT_EQ(StatusCounts(CurlFrom("127.0.0.4", again).out)[429], 1);
  }, 200, Kind::kLogins});

  // What well-behaved clients at the connection limits cost: the baseline.
  std::map<Kind, long> baseline;
  baseline[Kind::kConnections] = Growth("well-behaved clients", [&] {
    std::vector<std::thread> clients;
    for (int i = 0; i < 3; ++i) {
      clients.emplace_back([&, i] {
        std::vector<std::string> args = {"--parallel", "--parallel-immediate", "--parallel-max",
                                         std::to_string(kMaxPerAddress)};
        for (int n = 0; n < 400; ++n) args.insert(args.end(), {"-o", "/dev/null", Url("/KOR/rights")});
        EXPECT_EQ(StatusCounts(CurlFrom(StringPrintf("127.0.0.%d", 3 + i), args).out)[200], 400);
      });
    }
    for (auto& thread : clients) thread.join();
  }, 300);
  baseline[Kind::kLogins] = Growth("well-behaved logins", [&] {
    std::vector<std::string> args = {"--parallel", "--parallel-immediate", "--parallel-max", "12", "-H",
                                     "Origin: " + Origin()};
    for (int i = 0; i < 12; ++i) {
      args.insert(args.end(), {"-o", "/dev/null", "--data-urlencode", "user=administrator", "--data-urlencode",
                               "password=" + orla::test::ReadLine(dir_.File("data/administrator-password.txt")),
                               Url("/zepa/login")});
    }
    auto counts = StatusCounts(CurlFrom("127.0.0.5", args).out);
    EXPECT_GE(counts[303], 5);
    EXPECT_EQ(counts[303] + counts[429], 12);
  }, 200);
  for (const Attack& attack : attacks) {
    SCOPED_TRACE(attack.name);
    const long grown = Growth(attack.name, attack.run, attack.probeAfterMs);
    EXPECT_LT(grown, baseline[attack.kind] + kMarginKib)
        << "grew by " << grown << " KiB; well-behaved clients of its kind: " << baseline[attack.kind] << " KiB";
  }
}

}  // namespace
