// KORAgent against a party with no account flooding it with credentials it
// must refuse (hostile_client.py refused: a wrong bearer token, a malformed
// basic header): the event-log files grow by a line or two, not one a
// request; the status changes logged before still answer
// events.json?kind=status, complete; the metrics count every request.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text/string_printf.h"
#include "tests/integration/web/agent_pages_fixture.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

class RefusedFlood : public test::AgentPagesFixture {};

TEST_F(RefusedFlood, CostsAFewLinesAndHidesNoEarlierStatusChange) {
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
      {"python3", KOR_SOURCE_DIR "/tests/integration/zepa/hostile_client.py", "refused", "127.0.0.1",
       std::to_string(https_.port), "127.0.0.3", "24000", "4", "/KOR/metrics"}, "", 300);
  ASSERT_TRUE(Contains(flood.out, "sent=24000 ") && Contains(flood.out, "s401=24000")) << flood.out << flood.err;
  EXPECT_FALSE(std::filesystem::exists(log + ".1"));
  EXPECT_LT(size() - before, 10u * 1024);
  Login(dir_.File("jar"));
  const std::string status = Page("events.json?kind=status", dir_.File("jar")).body;
  EXPECT_TRUE(Contains(status, "\"total\":5,\"complete\":true")) << status;
  EXPECT_TRUE(Contains(status, "tc00 (10.0.0.0): OK \u2192 Failed")) << status;
  EXPECT_TRUE(Contains(Page("metrics", dir_.File("jar")).body,
                       "koragent_repeated_warnings_total{kind=\"refused_credentials\"} 24000"));
}

}  // namespace
}  // namespace orla
