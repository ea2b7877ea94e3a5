// KORAgent against a party with no account that floods it with requests
// whose credentials must be refused (a wrong bearer token, a malformed basic
// header), as hostile_client.py sends them: the event-log file grows by a
// few lines, not one a request; the status changes logged before the flood
// are still what events.json?kind=status answers, complete; and the metrics
// count every refused request.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/file_text.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

constexpr int kRequests = 24000;  // the review measured 24,000

uint64_t LogBytes(const std::string& path) {
  uint64_t total = 0;
  for (const char* age : {"", ".1", ".2", ".3"}) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path + age, error);
    if (!error) total += size;
  }
  return total;
}

class RefusedFlood : public test::AgentPagesFixture {};

TEST_F(RefusedFlood, CostsAFewLinesAndHidesNoEarlierStatusChange) {
  const std::string log = dir_.File("events.jsonl");
  std::string earlier;
  for (int i = 0; i < 5; ++i) {
    earlier += StringPrintf("{\"time\":\"2026-01-01T10:00:0%d.000Z\",\"source\":\"KORAgent\",\"event_type\":2,"
                            "\"category\":1,\"event_id\":2147483653,\"text\":\"WARNING: tc0%d (10.0.0.%d): OK "
                            "\u2192 Failed\",\"data\":\"\"}\n", i, i, i);
  }
  dir_.Write("events.jsonl", earlier);
  Start({"KORAGENT_EVENT_LOG=" + log});
  const uint64_t before = LogBytes(log);

  test::AgentProcess::Result flood = test::AgentProcess::Run(
      {"python3", KOR_SOURCE_DIR "/tests/integration/zepa/hostile_client.py", "refused", "127.0.0.1",
       std::to_string(https_.port), "127.0.0.3", std::to_string(kRequests), "4", "/KOR/metrics"},
      "", 300);
  ASSERT_TRUE(Contains(flood.out, StringPrintf("sent=%d ", kRequests))) << flood.out << flood.err;
  ASSERT_TRUE(Contains(flood.out, StringPrintf("s401=%d", kRequests))) << flood.out;

  const uint64_t growth = LogBytes(log) - before;
  EXPECT_LT(growth, 10u * 1024) << test::ReadFile(log);
  Login(dir_.File("jar"));
  const test::HttpsReply status = Page("events.json?kind=status", dir_.File("jar"));
  ASSERT_EQ(status.status, 200);
  EXPECT_TRUE(Contains(status.body, "\"total\":5,\"complete\":true")) << status.body;
  EXPECT_TRUE(Contains(status.body, "tc00 (10.0.0.0): OK \u2192 Failed")) << status.body;
  const test::HttpsReply metrics = Page("metrics", dir_.File("jar"));
  EXPECT_TRUE(Contains(metrics.body, StringPrintf("koragent_repeated_warnings_total{kind=\"refused_credentials\"} %d",
                                                  kRequests)))
      << metrics.body;
  std::printf("refused-credential flood: %d requests (%s), event log grew by %llu bytes\n", kRequests,
              flood.out.c_str(), static_cast<unsigned long long>(growth));
}

}  // namespace
}  // namespace orla
