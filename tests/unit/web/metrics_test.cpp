// The metrics page's text: label values that must survive the format, the
// histograms of polls and passes, and the report's fixed parts.
#include <gtest/gtest.h>

#include <string>

#include "agent/core/duration_histogram.h"
#include "agent/web/metrics_report.h"
#include "platform/metrics/metric_sheet.h"
#include "tests/support/text_lines.h"

namespace orla {
namespace {

using test::Contains;

TEST(MetricSheet, LabelValuesAreEscapedAndValidUtf8) {
  struct Case {
    std::string value;
    std::string rendered;
  } cases[] = {
      {"plain", "plain"},
      {"quote \" back\\slash", "quote \\\" back\\\\slash"},
      {"two\nlines", "two\\nlines"},
      {"K\xc3\xa4" "fer \xe2\x82\xac", "K\xc3\xa4" "fer \xe2\x82\xac"},  // valid UTF-8 kept
      {"bad \xff\xfe end", "bad \xef\xbf\xbd\xef\xbf\xbd end"},       // stray bytes
      {"cut \xe2\x82", "cut \xef\xbf\xbd\xef\xbf\xbd"},                 // truncated sequence
      {"over \xc0\xaf", "over \xef\xbf\xbd\xef\xbf\xbd"},               // overlong form
      {std::string("nul \0 byte", 10), "nul \xef\xbf\xbd byte"},
  };
  for (const Case& c : cases) {
    MetricSheet sheet;
    sheet.Add(sheet.AddFamily("koragent_x", "help", MetricSheet::Type::kGauge), {{"model", c.value}}, 1);
    EXPECT_TRUE(Contains(sheet.Render(), "koragent_x{model=\"" + c.rendered + "\"} 1\n")) << sheet.Render();
  }
}

TEST(MetricSheet, HistogramsCarryCumulativeBucketsCountAndSum) {
  DurationHistogram histogram;
  for (double seconds : {0.001, 0.02, 0.02, 3.0, 100.0}) histogram.Observe(seconds);
  const DurationHistogram::Snapshot s = histogram.Take();
  EXPECT_EQ(s.count, 5u);
  EXPECT_DOUBLE_EQ(s.sumSeconds, 103.041);

  MetricSheet sheet;
  sheet.AddHistogram(sheet.AddFamily("koragent_poll_duration_seconds", "h", MetricSheet::Type::kHistogram), {},
                     s.bounds, s.cumulative, s.count, s.sumSeconds);
  const std::string text = sheet.Render();
  for (const char* line : {"# TYPE koragent_poll_duration_seconds histogram\n",
                           "koragent_poll_duration_seconds_bucket{le=\"0.005\"} 1\n",
                           "koragent_poll_duration_seconds_bucket{le=\"0.025\"} 3\n",
                           "koragent_poll_duration_seconds_bucket{le=\"2.5\"} 3\n",
                           "koragent_poll_duration_seconds_bucket{le=\"5\"} 4\n",
                           "koragent_poll_duration_seconds_bucket{le=\"30\"} 4\n",
                           "koragent_poll_duration_seconds_bucket{le=\"+Inf\"} 5\n",
                           "koragent_poll_duration_seconds_count 5\n"}) {
    EXPECT_TRUE(Contains(text, line)) << line << "\n" << text;
  }
}

TEST(MetricsReport, WithoutRegistryOrServerStillReportsTheProcess) {
  const std::string text = MetricsReport::Render(nullptr, '0', nullptr);
  EXPECT_FALSE(Contains(text, "koragent_element_status"));
  EXPECT_FALSE(Contains(text, "koragent_http_responses_total"));
  for (const char* part : {"koragent_build_info{version=\"V2.7.2.13\"} 1\n", "koragent_process_resident_memory_bytes ",
                           "koragent_process_open_fds ", "koragent_process_max_fds ", "koragent_process_threads ",
                           "koragent_process_start_time_seconds ", "# TYPE koragent_traps_dropped_total counter\n"}) {
    EXPECT_TRUE(Contains(text, part)) << part << "\n" << text;
  }
}

}  // namespace
}  // namespace orla
