#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/eventlog/repeated_warnings.h"
#include "tests/support/manual_clock.h"

using namespace orla;
using namespace std::chrono_literals;

namespace {

struct Flood {
  test::ManualClock clock;
  std::vector<std::string> lines;
  RepeatedWarnings warnings{"test_kind", "test warnings", 2, [this](const std::string& t) { lines.push_back(t); },
                            &clock};
};

uint64_t SeenOf(const char* kind, uint64_t* summarised) {
  for (const RepeatedWarnings::Count& c : RepeatedWarnings::Counts()) {
    if (c.kind == kind) {
      *summarised = c.summarised;
      return c.seen;
    }
  }
  return 0;
}

}  // namespace

// One table: what a source's occurrences write, as the minute passes.
TEST(RepeatedWarnings, WritesTheFirstOnesThenOneSummaryAMinute) {
  Flood f;
  for (int i = 0; i < 1000; ++i) f.warnings.Warn("10.0.0.1", "line");
  f.warnings.Warn("10.0.0.2", "other");
  EXPECT_EQ(f.lines, (std::vector<std::string>{"line", "line", "other"}));
  f.clock.Advance(59s);
  f.warnings.Flush();
  EXPECT_EQ(f.lines.size(), 3u);
  f.clock.Advance(1s);
  f.warnings.Flush();
  ASSERT_EQ(f.lines.size(), 4u);  // 10.0.0.2 stayed within its two lines: no summary
  EXPECT_EQ(f.lines[3], "998 further test warnings from 10.0.0.1 in the last minute (counted, not logged one by one).");
  // A new minute starts with lines of its own again; its end comes with the next occurrence too.
  f.warnings.Warn("10.0.0.1", "again");
  f.warnings.Warn("10.0.0.1", "again");
  f.warnings.Warn("10.0.0.1", "again");
  f.clock.Advance(61s);
  f.warnings.Warn("10.0.0.9", "late");
  EXPECT_EQ(std::vector<std::string>(f.lines.begin() + 4, f.lines.end()),
            (std::vector<std::string>{"again", "again", "1 further test warnings from 10.0.0.1 in the last minute "
                                                        "(counted, not logged one by one).", "late"}));
  uint64_t summarised = 0;
  EXPECT_EQ(SeenOf("test_kind", &summarised), 1005u);
  EXPECT_EQ(summarised, 999u);
}

TEST(RepeatedWarnings, BoundsTheSourcesItTellsApartAndKeepsCountsOfDestroyedOnes) {
  {
    Flood f;
    for (size_t i = 0; i < RepeatedWarnings::kMaxSources + 500; ++i) {
      for (int j = 0; j < 3; ++j) f.warnings.Note("s" + std::to_string(i));
    }
    f.clock.Advance(60s);
    f.warnings.Flush();
    EXPECT_EQ(std::count(f.lines.begin(), f.lines.end(), "1498 further test warnings from other sources in the last minute (counted, not "
                              "logged one by one)."), 1);
    EXPECT_EQ(f.lines.size(), RepeatedWarnings::kMaxSources + 1);
  }
  uint64_t summarised = 0;
  EXPECT_GE(SeenOf("test_kind", &summarised), 3 * (RepeatedWarnings::kMaxSources + 500));
}
