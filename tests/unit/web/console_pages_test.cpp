// The live console's answers: the events query over the ring and the
// event-log file, the file's reader, and the JSON, CSV and HTML pages with
// their escaping and their sign-in check.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "agent/core/audit_trail.h"

#include "agent/traps/event_text_field.h"
#include "agent/traps/received_trap_log.h"
#include "agent/web/change_feed.h"
#include "agent/web/event_log_file_reader.h"
#include "agent/web/event_query.h"
#include "agent/web/events_csv_page.h"
#include "agent/web/events_json_page.h"
#include "agent/web/events_page.h"
#include "agent/web/snmp_v3_json_page.h"
#include "agent/web/status_json_page.h"
#include "platform/eventlog/event_log_writer.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"
#include "tests/unit/web/recording_request.h"

namespace orla {
namespace {

using test::RecordingRequest;

// Times 1000..1005: an agent entry, a status change and traps of tc01/tc02.
void Fill(EventRing* ring) {
  ring->Append(1000, 2, EventOrigin{"agent", "", "", ""}, "CRITICAL: File KORAgent.db - cannot read.");
  ring->Append(1001, 0, EventOrigin{"status", "tc01", "10.0.0.1", ""}, "INFO: Element tc01 (10.0.0.1): status changed from 0 to 2.");
  ring->Append(1002, 1, EventOrigin{"trap", "tc01", "10.0.0.1", "coldStart"}, "WARNING: A Fibre device has performed a cold start.");
  ring->Append(1003, 1, EventOrigin{"trap", "tc02", "10.0.0.2", ".1.3.6.1.3.94.0.4"}, "WARNING: Event 7 <b>bad</b>");
  ring->Append(1004, 1, EventOrigin{"trap", "", "10.0.0.9", "warmStart"}, "WARNING: A Fibre device has performed a warm start.");
  ring->Append(1005, 0, EventOrigin{"status", "TC02", "10.0.0.2", ""}, "INFO: Element TC02 (10.0.0.2): status changed from 1 to 0.");
}

EventQuery Query(std::vector<std::pair<const char*, std::string>> fields) {
  return EventQuery::FromFields([&fields](const char* name) -> std::optional<std::string> {
    for (const auto& [key, value] : fields) {
      if (std::string(key) == name) return value;
    }
    return std::nullopt;
  });
}

std::vector<int64_t> Times(const std::vector<RecordedEvent>& events) {
  std::vector<int64_t> times;
  for (const RecordedEvent& e : events) times.push_back(e.timeMs);
  return times;
}

std::vector<int64_t> Times(const EventQuery::Result& result) { return Times(result.events); }

// What the CSV export hands out, in its order.
std::vector<RecordedEvent> Exported(const EventQuery& query, const EventRing& ring,
                                    const std::vector<std::string>& files) {
  std::vector<RecordedEvent> rows;
  query.Export(ring, files, [&](const RecordedEvent& e) { rows.push_back(e); }, [] {});
  return rows;
}

TEST(EventQuery, FiltersNewestFirst) {
  EventRing ring(100);
  Fill(&ring);
  const struct {
    std::vector<std::pair<const char*, std::string>> fields;
    std::vector<int64_t> expected;
  } cases[] = {
      {{}, {1005, 1004, 1003, 1002, 1001, 1000}},
      {{{"element", "tc02"}}, {1005, 1003}},                     // name in any case
      {{{"element", "10.0.0.9"}}, {1004}},                       // or the address
      {{{"severity", "warning"}}, {1004, 1003, 1002, 1000}},
      {{{"severity", "critical"}}, {1000}},
      {{{"kind", "status"}}, {1005, 1001}},
      {{{"text", "COLD"}}, {1002}},
      {{{"text", "3.94.0.4"}}, {1003}},                          // the trap's identity
      {{{"from", "1002"}, {"to", "1003"}}, {1003, 1002}},
      {{{"offset", "2"}, {"limit", "2"}}, {1003, 1002}},
      {{{"limit", "x"}, {"offset", "-1"}}, {1005, 1004, 1003, 1002, 1001, 1000}},  // bad numbers ignored
      {{{"after", "4"}}, {1005, 1004}},                          // logged after entry 4 (the page's check)
      {{{"after", "4"}, {"kind", "trap"}}, {1004}},
  };
  for (const auto& c : cases) {
    const EventQuery::Result result = Query(c.fields).Run(ring, {});
    EXPECT_EQ(Times(result), c.expected) << (c.fields.empty() ? "" : c.fields[0].first);
  }
  EXPECT_EQ(Query({{"limit", "2"}}).Run(ring, {}).total, 6u);
  EXPECT_EQ(Query({{"limit", "100000"}}).limit, EventQuery::kMaxLimit);
}

// The file is read for what lies before the ring's oldest entry, and only
// for a page that starts past the ring's matches (or for the export).
TEST(EventQuery, OlderEventsComeFromTheFileWithoutDoubles) {
  test::TempDir dir;
  const EventTextField os(129, "Linux"), wwn(225, "10:00"), name(289, "old1"), wwn2(1025, "10:00"), d(1060, "d"),
      fw(1089, "1");
  const EventTextField stamp(1040, "20261207");
  const EventTextField* texts[6] = {&os, &wwn, &name, &wwn2, &d, &fw};
  const std::vector<uint8_t> record = ReceivedTrapLog::ComposeRecord(1, 1, 2, stamp, texts, nullptr, 0);
  std::string lines;
  lines += EventLogWriter::JsonLine(EventLogWriter::IsoTime(500), "KORAgent", 2, 1, 1073741828u,
                                    "WARNING: A \"quoted\" trap", record.data(), record.size(),
                                    {"", "10.0.0.5", "info"}) + "\n";
  lines += "not json at all\n";
  lines += EventLogWriter::JsonLine(EventLogWriter::IsoTime(600), "KORAgent", 2, 1, 2147483653u,
                                    "WARNING: old (2) (10.0.0.7): OK \u2192 Degraded", nullptr, 0) + "\n";
  // Already in the ring (same time as its oldest entry): not read again.
  lines += EventLogWriter::JsonLine(EventLogWriter::IsoTime(1000), "KORAgent", 1, 2, 2147483653u,
                                    "CRITICAL: File KORAgent.db - cannot read.", nullptr, 0) + "\n";
  dir.Write("events.jsonl", lines);
  const std::vector<std::string> path = {dir.Path() + "/events.jsonl"};
  EventRing ring(100);
  Fill(&ring);

  // The first page is the ring's; the file is not read for it.
  const EventQuery::Result firstPage = Query({{"limit", "50"}}).Run(ring, path);
  EXPECT_EQ(firstPage.total, 6u);
  EXPECT_FALSE(firstPage.complete);
  // The page after the ring's matches comes from the file, the CSV reads both.
  const EventQuery::Result next = Query({{"offset", "6"}}).Run(ring, path);
  EXPECT_TRUE(next.complete);
  EXPECT_EQ(next.total, 8u);
  EXPECT_EQ(Times(next), (std::vector<int64_t>{600, 500}));
  const std::vector<RecordedEvent> all = Exported(Query({}), ring, path);
  ASSERT_EQ(Times(all), (std::vector<int64_t>{1005, 1004, 1003, 1002, 1001, 1000, 600, 500}));
  for (const auto& [i, kind, element] : {std::tuple{6, "status", "old (2)"}, std::tuple{7, "trap", "old1"}}) {
    EXPECT_EQ(all[i].origin.kind, kind);
    EXPECT_EQ(all[i].origin.element, element);
  }
  EXPECT_EQ(all[6].origin.address, "10.0.0.7");
  EXPECT_EQ(all[7].text, "WARNING: A \"quoted\" trap");
  EXPECT_EQ(all[7].severity, 0);  // the trap's own, from the line's "severity"
  EXPECT_EQ(all[7].origin.address, "10.0.0.5");
  EXPECT_EQ(Times(Query({{"element", "old1"}}).Run(ring, path)), (std::vector<int64_t>{500}));

  EXPECT_EQ(EventLogFileReader::ParseIsoTime("2026-12-07T10:00:00.123Z"), 1796637600123);
  EXPECT_EQ(EventLogFileReader::ParseIsoTime("2026-12-07 10:00:00"), -1);
}

// The rotation's older files continue the live one (.2 lost to a crash
// between two renames); a read budget that ends inside a line stops before
// it and says the walk is not whole; a missing file is no error.
TEST(EventQuery, OlderPagesWalkAcrossRotatedFiles) {
  test::TempDir dir;
  const std::string live = dir.Path() + "/events.jsonl";
  const std::string line = EventLogWriter::JsonLine(EventLogWriter::IsoTime(0), "KORAgent", 2, 1, 2147483653u,
                                                    "WARNING: tc (10.0.0.1): OK \u2192 Failed", nullptr, 0) + "\n";
  auto at = [&](int64_t ms) { return std::string(line).replace(9, 24, EventLogWriter::IsoTime(ms)); };
  dir.Write("events.jsonl", at(900) + at(950));
  dir.Write("events.jsonl.1", at(700) + at(800));
  dir.Write("events.jsonl.3", at(100));
  const std::vector<std::string> files = {live, live + ".1", live + ".2", live + ".3"};
  EventRing ring(100);
  Fill(&ring);
  const EventQuery::Result page = Query({{"kind", "status"}, {"offset", "2"}, {"limit", "3"}}).Run(ring, files);
  EXPECT_EQ(Times(page), (std::vector<int64_t>{950, 900, 800}));
  EXPECT_EQ(page.total, 7u);
  EXPECT_TRUE(page.complete);
  std::vector<RecordedEvent> seen;
  const auto keep = [&](RecordedEvent& e) { return seen.push_back(e), true; };
  EXPECT_FALSE(EventLogFileReader::VisitNewestFirst(files, -1, keep, 3 * line.size() + 1));
  EXPECT_EQ(Times(seen), (std::vector<int64_t>{950, 900, 800}));
  EXPECT_TRUE(EventLogFileReader::VisitNewestFirst({live + ".9"}, -1, keep));
}

// Changes are answered from the change file alone, whatever the ring holds;
// the changes other processes (the tools) wrote there since the feed began
// reach the ring once each, a rotation between two reads losing none.
TEST(EventQuery, ChangesComeFromTheChangeFileAndOtherProcessesChangesReachTheRing) {
  test::EventLogCapture log;
  test::TempDir dir;
  const std::string live = dir.File("changes.jsonl");
  AuditTrail::SetChangeFile(live);
  const auto change = [](const std::string& what) { return AuditTrail::Record({"root", "this host"}, what); };
  ASSERT_EQ(AuditTrail::Record({"admin", "10.0.0.5"}, "renamed tc01 to tc09", "tc09", "10.0.0.1"), 0);
  ASSERT_EQ(change("added the user reader"), 0);
  EventRing ring(100);
  Fill(&ring);
  ring.Append(999, 0, EventOrigin{"change", "", "", ""}, "INFO: Change by nobody: not in the file.");
  const EventQuery::Result changes = Query({{"kind", "change"}}).Run(ring, {}, AuditTrail::ChangeFilePaths());
  EXPECT_EQ(changes.total, 2u);
  EXPECT_TRUE(changes.complete);
  ASSERT_EQ(changes.events.size(), 2u);
  EXPECT_EQ(changes.events[0].text, "INFO: Change by root from this host: added the user reader.");
  EXPECT_EQ(Query({{"kind", "change"}, {"element", "10.0.0.1"}}).Run(ring, {}, AuditTrail::ChangeFilePaths()).total, 1u);

  ChangeFeed ours(0, ::getpid());
  EXPECT_EQ(ours.CatchUp(ring, AuditTrail::ChangeFilePaths()), 0u);  // the process's own are in its ring already
  ChangeFeed later(INT64_MAX, 1);
  EXPECT_EQ(later.CatchUp(ring, AuditTrail::ChangeFilePaths()), 0u);  // written before the feed began
  ChangeFeed tools(0, 1);
  EXPECT_EQ(tools.CatchUp(ring, AuditTrail::ChangeFilePaths()), 2u);
  EXPECT_EQ(tools.CatchUp(ring, AuditTrail::ChangeFilePaths()), 0u);
  ASSERT_EQ(change("one before the rotation"), 0);
  ASSERT_EQ(std::rename(live.c_str(), (live + ".1").c_str()), 0);
  ASSERT_EQ(change("one after it"), 0);
  EXPECT_EQ(tools.CatchUp(ring, AuditTrail::ChangeFilePaths()), 2u);
  std::vector<std::string> texts;
  ring.VisitNewestFirst([&](const RecordedEvent& e) { return texts.push_back(e.text), texts.size() < 2; });
  EXPECT_EQ(texts, (std::vector<std::string>{"INFO: Change by root from this host: one after it.",
                                             "INFO: Change by root from this host: one before the rotation."}));
  AuditTrail::SetChangeFile("");
}

TEST(ConsolePages, AnswersAreEscapedForTheirFormat) {
  ElementView element;
  element.record.name = "a\"<b>&";
  element.record.address = "10.0.0.1";
  element.status.status = 2;
  element.status.reason = "Drive <1> \"x\"";
  element.status.statusSinceMs = 7;
  // Counted apart: 3 is unknown, a status not read yet (-1) not polled yet.
  ElementView unknown;
  unknown.status.status = 3;
  const std::string status = StatusJsonPage::Render({element, ElementView(), unknown}, 9);
  EXPECT_EQ(status,
            "{\"now\":9,\"administrator\":false,\"level\":\"none\",\"counts\":{\"ok\":0,\"degraded\":0,\"failed\":1,\"unknown\":1,"
            "\"notPolled\":1,\"stale\":0},\"elements\":["
            "{\"name\":\"a\\\"\\u003cb\\u003e\\u0026\",\"address\":\"10.0.0.1\",\"status\":2,"
            "\"reason\":\"Drive \\u003c1\\u003e \\\"x\\\"\",\"statusSince\":7,"
            "\"lastAnswered\":null},{\"name\":\"\",\"address\":\"\",\"status\":-1,\"reason\":\"\",\"statusSince\":0,"
            "\"lastAnswered\":null},{\"name\":\"\",\"address\":\"\",\"status\":3,\"reason\":\"\",\"statusSince\":0,"
            "\"lastAnswered\":null}]}");

  EventRing ring(10);
  ring.Append(1, 1, EventOrigin{"trap", "tc01", "10.0.0.1", "x"}, "=cmd(\"a\"), <b>");
  const EventQuery query = Query({});
  const EventQuery::Result result = query.Run(ring, {});
  const std::string json = EventsJsonPage::Render(query, result, 2);
  EXPECT_NE(json.find("\"text\":\"=cmd(\\\"a\\\"), \\u003cb\\u003e\""), std::string::npos) << json;
  EXPECT_NE(json.find("\"severity\":\"warning\",\"kind\":\"trap\""), std::string::npos);
  EXPECT_EQ(std::string(EventsCsvPage::kHeaderRow) + EventsCsvPage::Row(result.events.at(0)),
            "Time (UTC),Severity,Kind,Element,Address,Trap,Text\r\n"
            "1970-01-01T00:00:00.001Z,warning,trap,tc01,10.0.0.1,x,\"'=cmd(\"\"a\"\"), <b>\"\r\n");
}

TEST(ConsolePages, AStaleElementIsNeverCountedOkAndSnmpV3JsonNamesThoseWithoutAProfile) {
  // A stale OK counts only as stale, a stale Failed under both.
  std::vector<ElementView> elements(3);
  const std::tuple<int, int32_t, bool> rows[] = {{0, 0, true}, {1, 2, true}, {2, 0, false}};
  for (const auto& [i, status, stale] : rows) {
    elements[i].record.name = "tc0" + std::to_string(i + 1);
    elements[i].record.address = "10.0." + std::to_string(i / 2) + "." + std::to_string(i + 1);
    elements[i].status.status = status;
    elements[i].status.stale = stale;
  }
  const std::string json = StatusJsonPage::Render(elements, 1);
  EXPECT_NE(json.find("\"ok\":1,\"degraded\":0,\"failed\":1,\"unknown\":0,\"notPolled\":0,\"stale\":2}"), std::string::npos) << json;
  EXPECT_NE(json.find("\"address\":\"10.0.0.1\",\"status\":0,\"stale\":true,"), std::string::npos);
  SnmpV3Credentials credentials;
  SnmpV3Profile profile;
  profile.name = profile.user = "kor";
  credentials.Put(profile);
  ASSERT_EQ(credentials.Assign("kor", "10.0.1.0/24"), "");
  EXPECT_EQ(SnmpV3JsonPage::WithoutProfile(credentials, elements),
            ",\"withoutProfile\":2,\"withoutProfileNames\":[\"tc01\",\"tc02\"]");
}

template <typename Page>
std::unique_ptr<WebPage> Make(RecordingRequest& request) {
  return std::make_unique<Page>(request.Ecb());
}

TEST(ConsolePages, SignedInOnlyWithTheirContentTypes) {
  const struct {
    const char* path;
    const char* type;
    std::unique_ptr<WebPage> (*make)(RecordingRequest&);
  } pages[] = {{"/KOR/status.json", "application/json", Make<StatusJsonPage>},
               {"/KOR/events.json", "application/json", Make<EventsJsonPage>},
               {"/KOR/events.csv", "text/csv", Make<EventsCsvPage>},
               {"/KOR/events.html", "text/html", Make<EventsPage>}};
  for (const auto& p : pages) {
    for (uint32_t rights : {0u, 2u, ZEPA_RIGHTS_NO_SESSION}) {
      RecordingRequest request("GET", p.path, "element=%22%3E%3Cscript%3E");
      request.rights = rights;
      const bool signedIn = rights == 2u;  // a session without any right reads nothing
      EXPECT_EQ(p.make(request)->Process(), signedIn ? WebPage::kAnswered : WebPage::kLeaveToLibrary) << p.path;
      if (!signedIn) {
        EXPECT_TRUE(request.body.empty());
        continue;
      }
      EXPECT_EQ(request.header.rfind(std::string("Content-type: ") + p.type, 0), 0u) << request.header;
      EXPECT_NE(request.header.find("X-Content-Type-Options: nosniff\r\n"), std::string::npos);
      EXPECT_EQ(request.body.find("<script>"), std::string::npos) << p.path;
      if (p.make == Make<EventsPage> && rights == 2) {
        EXPECT_NE(request.body.find("name=\"element\" value=\"&quot;&gt;&lt;script&gt;\""), std::string::npos);
      }
    }
  }
}

}  // namespace
}  // namespace orla
