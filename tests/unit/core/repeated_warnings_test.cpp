#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/eventlog/repeated_warnings.h"
#include "tests/support/manual_clock.h"

using namespace orla;
using namespace std::chrono_literals;

namespace {

std::string Summary(int n, const char* from) {
  return std::to_string(n) + " further test warnings from " + from +
         " in the last minute (counted, not logged one by one).";
}

}  // namespace

// What a source's occurrences write as its minutes pass, the bound on the
// sources told apart, and the counts the metrics show (kept after the
// instance is gone).
TEST(RepeatedWarnings, WritesTheFirstOnesThenOneSummaryAMinute) {
  {
    test::ManualClock clock;
    std::vector<std::string> lines;
    RepeatedWarnings w("test_kind", "test warnings", 2, [&](const std::string& t) { lines.push_back(t); }, &clock);
    for (int i = 0; i < 1000; ++i) w.Warn("10.0.0.1", "line");
    w.Warn("10.0.0.2", "other");  // within its two lines: no summary
    clock.Advance(59s);
    w.Flush();
    EXPECT_EQ(lines, (std::vector<std::string>{"line", "line", "other"}));
    clock.Advance(1s);
    w.Flush();
    for (const char* text : {"again", "again", "again"}) w.Warn("10.0.0.1", text);
    clock.Advance(61s);
    w.Warn("10.0.0.9", "late");  // the ended minute is summed up first
    EXPECT_EQ(lines, (std::vector<std::string>{"line", "line", "other", Summary(998, "10.0.0.1"), "again", "again",
                                               Summary(1, "10.0.0.1"), "late"}));
    lines.clear();
    for (size_t i = 0; i < RepeatedWarnings::kMaxSources + 500; ++i) w.Note("s" + std::to_string(i));
    w.Note("s1");
    w.Note("s1");
    clock.Advance(60s);
    w.Flush();
    EXPECT_EQ(lines.size(), 2u);  // s1, and the 501 sources past the bound (10.0.0.9 holds a place) together
    EXPECT_EQ(std::count(lines.begin(), lines.end(), Summary(499, "other sources")), 1);
  }
  for (const RepeatedWarnings::Count& c : RepeatedWarnings::Counts()) {
    if (c.kind != "test_kind") continue;
    EXPECT_EQ(c.seen, 1005u + RepeatedWarnings::kMaxSources + 502);
    EXPECT_EQ(c.summarised, 999u + 499 + 1);
  }
}

// A kind that reports counts in its own words (the trap queue's drops): the
// first of a quiet minute at once with its count, the rest of the minute in
// one line when it ends, all of them added up.
TEST(RepeatedWarnings, ReportsCountsInTheKindsOwnWords) {
  test::ManualClock clock;
  std::vector<std::string> lines;
  RepeatedWarnings w("test_counts", "dropped", 1, [&](const std::string& t) { lines.push_back(t); }, &clock,
                     [](uint64_t n, const std::string&) { return std::to_string(n) + " dropped."; });
  w.Report("", 3);   // the first: at once
  clock.Advance(10s);
  w.Report("", 7);
  clock.Advance(30s);
  w.Report("", 15);
  clock.Advance(20s);
  w.Flush();         // a minute after the first
  clock.Advance(120s);
  w.Report("");      // quiet for long: at once
  EXPECT_EQ(lines, (std::vector<std::string>{"3 dropped.", "22 dropped.", "1 dropped."}));
}
