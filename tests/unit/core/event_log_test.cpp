#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "agent/core/audit_trail.h"
#include "agent/core/event_log.h"
#include "platform/sysinfo/sudo_caller.h"
#include "platform/text/regular_file.h"
#include "platform/eventlog/event_log_writer.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/file_text.h"
#include "tests/support/scoped_settings.h"
#include "tests/support/temp_dir.h"
#include "tests/support/text_lines.h"

using namespace orla;

TEST(EventLog, SeveritiesPrefixTypeAndCategory) {
  test::EventLogCapture log;
  EventLog::Write(EventLog::kInfo, "one");
  EventLog::Write(EventLog::kWarning, "two");
  EventLog::Write(EventLog::kCritical, "three");
  EventLog::Write(3, "never");
  EventLog::Write(-1, "never");
  auto events = log.Events();
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].text, "INFO: one");
  EXPECT_EQ(events[0].eventType, 4);
  EXPECT_EQ(events[0].category, 0);
  EXPECT_EQ(events[1].text, "WARNING: two");
  EXPECT_EQ(events[2].text, "CRITICAL: three");
}

TEST(EventLog, EventIdDependsOnDataPresence) {
  test::EventLogCapture log;
  const unsigned char data[] = {0x00, 0xab, 0x10};
  EventLog::Write(EventLog::kWarning, "plain");
  EventLog::Write(EventLog::kWarning, "empty data", data, 0);
  EventLog::Write(EventLog::kWarning, "null data", nullptr, 5);
  EventLog::Write(EventLog::kWarning, "with data", data, sizeof data);
  auto events = log.Events();
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[0].eventId, 0x80000005u);
  EXPECT_EQ(events[1].eventId, 0x80000005u);
  EXPECT_EQ(events[1].dataHex, "");
  EXPECT_EQ(events[2].eventId, 0x80000005u);
  EXPECT_EQ(events[3].eventId, 0x40000004u);
  EXPECT_EQ(events[3].dataHex, "00ab10");
}

TEST(EventLog, JsonLineHasTheDocumentedKeysInOrder) {
  const unsigned char data[] = {0x01, 0xff};
  const std::string line = EventLogWriter::JsonLine("2026-12-07T10:00:00.123Z", "KORAgent", 4, 0, 1073741828u,
                                                    "INFO: a \"quoted\"\\ text\n", data, 2);
  EXPECT_EQ(line,
            "{\"time\":\"2026-12-07T10:00:00.123Z\",\"source\":\"KORAgent\",\"event_type\":4,\"category\":0,"
            "\"event_id\":1073741828,\"text\":\"INFO: a \\\"quoted\\\"\\\\ text\\n\",\"data\":\"01ff\"}");
  // The element an entry is about follows, in fields of its own.
  EXPECT_EQ(EventLogWriter::JsonLine("t", "KORAgent", 2, 1, 1u, "WARNING: x", nullptr, 0,
                                     {"lib\"01", "127.0.1.17", "info"}),
            "{\"time\":\"t\",\"source\":\"KORAgent\",\"event_type\":2,\"category\":1,\"event_id\":1,"
            "\"text\":\"WARNING: x\",\"data\":\"\",\"element\":\"lib\\\"01\",\"address\":\"127.0.1.17\","
            "\"severity\":\"info\"}");
}

TEST(EventLog, ControlCharactersAreEscaped) {
  EXPECT_EQ(EventLogWriter::JsonEscape(std::string("a\x01" "b\tc", 5)), "a\\u0001b\\tc");
}

// Device texts come from the network: every line must stay valid JSON, so
// bytes that are not well-formed UTF-8 become \u00XX of the byte, while
// well-formed UTF-8 passes unchanged.
TEST(EventLog, TextThatIsNotUtf8IsEscapedByteByByte) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"caf\xc3\xa9", "caf\xc3\xa9"},                        // two-byte sequence
      {"\xe2\x82\xac 5", "\xe2\x82\xac 5"},                  // three bytes
      {"\xf0\x9f\x93\xbc", "\xf0\x9f\x93\xbc"},              // four bytes
      {"caf\xe9", "caf\\u00e9"},                             // Latin-1 byte
      {"\xc3", "\\u00c3"},                                   // cut short at the end
      {"\xc3(", "\\u00c3("},                                 // cut short by ASCII
      {"\xc0\xaf", "\\u00c0\\u00af"},                        // overlong
      {"\xed\xa0\x80", "\\u00ed\\u00a0\\u0080"},             // surrogate
      {"\xf4\x90\x80\x80", "\\u00f4\\u0090\\u0080\\u0080"},  // above U+10FFFF
      {"\x80\xff\"", "\\u0080\\u00ff\\\""},                  // stray bytes
  };
  for (const auto& c : cases) EXPECT_EQ(EventLogWriter::JsonEscape(c.in), c.out) << c.in;
}

// A log that cannot be opened or that takes no entry: the entry is lost and
// standard output names the step, with the system's error text.
TEST(EventLog, FailuresGoToStandardOutputNamingTheStep) {
  const struct {
    const char* file;
    const char* step;
    int error;
  } cases[] = {
      {"/nonexistent-folder/events.jsonl", "RegisterEventSource(): ", ENOENT},
      {"/dev/full", "ReportEvent(): ", ENOSPC},
  };
  for (const auto& c : cases) {
    test::ScopedSettings settings;
    settings.EventLogFile(c.file);
    testing::internal::CaptureStdout();
    EventLog::Write(EventLog::kInfo, "lost");
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.step + EventLog::SystemErrorText(c.error) + "\n");
  }
}

// Every entry written also lands in the in-memory ring, with its origin and
// the very time stamp of its file line.
TEST(EventLog, EntriesReachTheRingWithTheFileLinesTime) {
  test::EventLogCapture log;
  const uint64_t before = EventRing::Instance().LastSequence();
  EventOrigin origin;
  origin.kind = "status";
  origin.element = "tc01";
  origin.address = "127.0.0.1";
  EventLog::Write(EventLog::kInfo, "changed", nullptr, 0, origin);
  EventLog::Write(EventLog::kCritical, "agent text");
  const std::vector<RecordedEvent> kept = EventRing::Instance().Snapshot(before);
  ASSERT_EQ(kept.size(), 2u);
  EXPECT_EQ(kept[0].text, "INFO: changed");
  EXPECT_EQ(kept[0].origin.kind, "status");
  EXPECT_EQ(kept[0].origin.element, "tc01");
  EXPECT_EQ(kept[1].origin.kind, "agent");
  EXPECT_EQ(kept[1].severity, EventLog::kCritical);
  EXPECT_EQ(kept[1].sequence, kept[0].sequence + 1);
  const auto lines = log.Events();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[0].line.find("\"time\":\"" + EventLogWriter::IsoTime(kept[0].timeMs) + "\""), std::string::npos);
}

TEST(EventRing, KeepsTheNewest) {
  EventRing ring(3);
  for (int i = 0; i < 5; ++i) ring.Append(1000 + i, i % 3, EventOrigin(), "e" + std::to_string(i));
  ring.Append(2000, 7, EventOrigin(), "odd severity");
  const std::vector<RecordedEvent> kept = ring.Snapshot();
  ASSERT_EQ(kept.size(), 3u);
  EXPECT_EQ(kept.front().text, "e3");
  EXPECT_EQ(kept.back().severity, 1);
  EXPECT_EQ(ring.Snapshot(5).size(), 1u);
  EXPECT_EQ(ring.Snapshot(99).size(), 0u);
  std::vector<std::string> newestFirst;
  ring.VisitNewestFirst([&](const RecordedEvent& e) {
    newestFirst.push_back(e.text);
    return newestFirst.size() < 2;
  });
  EXPECT_EQ(newestFirst, (std::vector<std::string>{"odd severity", "e4"}));
}

// The file stays within its bound: full files move one age older, the
// oldest goes, every line kept is whole and in order, and a line a killed
// writer left unfinished is ended first.
TEST(EventLog, TheFileRotatesWithinItsBoundKeepingWholeLines) {
  test::TempDir dir;
  const std::string path = dir.File("events.jsonl");
  dir.Write("events.jsonl", "{\"time\":\"cut short");
  test::ScopedSettings settings;
  settings.EventLogFile(path);
  EventLog::Write(EventLog::kInfo, "after the cut");
  EXPECT_EQ(test::Lines(test::ReadFile(path)).at(1).find("{\"time\""), 0u);
  EventLogWriter::SetFileLimits(3 * EventLogWriter::kMinFileBytes, 3);
  for (int i = 0; i < 1000; ++i) EventLog::Write(EventLog::kInfo, std::to_string(i) + " " + std::string(200, 'x'));
  EventLogWriter::SetFileLimits(EventLogWriter::kDefaultMaxBytes, EventLogWriter::kDefaultFiles);
  std::vector<int> numbers;
  for (const std::string& file : {path + ".2", path + ".1", path}) {
    ASSERT_LE(std::filesystem::file_size(file), EventLogWriter::kMinFileBytes) << file;
    for (const std::string& line : test::Lines(test::ReadFile(file))) {
      numbers.push_back(std::stoi(line.substr(line.find("INFO: ") + 6)));
    }
  }
  EXPECT_FALSE(std::filesystem::exists(path + ".3"));
  ASSERT_GT(numbers.size(), 120u);  // about 45 KiB of 360-byte lines
  for (size_t i = 0; i < numbers.size(); ++i) EXPECT_EQ(numbers[i], 1000 - static_cast<int>(numbers.size() - i));
}

// The user a tool names for its change: the real user id's, or sudo's
// caller only when the process is root and a sudo that user started is
// among its ancestors; SUDO_UID alone changes nothing.
TEST(AuditTrail, TheToolsUserIsTheRealOneAndSudoIsShownNotClaimed) {
  struct Case {
    SudoCaller::Facts facts;
    uid_t expected;
    const char* why;
  };
  const Case cases[] = {
      {{1000, 1000, "", {}}, 1000, "a plain user"},
      {{1000, 1000, "0", {0}}, 1000, "not root: SUDO_UID is not read"},
      {{0, 0, "1000", {}}, 0, "root, SUDO_UID set by hand: no sudo above"},
      {{0, 0, "1000", {1001}}, 0, "a sudo another user started above"},
      {{0, 0, "1000", {0, 1000}}, 1000, "root through a sudo user 1000 started"},
      {{0, 0, "10x", {1000}}, 0, "not a number"},
      {{0, 0, "-1", {static_cast<uid_t>(-1)}}, 0, "not a user id"},
  };
  for (const Case& c : cases) EXPECT_EQ(SudoCaller::User(c.facts), c.expected) << c.why;
  // This test runs with no sudo above it.
  EXPECT_EQ(SudoCaller::User(SudoCaller::OfThisProcess("12345")), ::getuid());
  EXPECT_EQ(SudoCaller::Name(0), "root");
}

// Changes go to their own owner-only file with their origin and the
// writing process; a link in its place is refused, nothing written through it.
TEST(AuditTrail, ChangesGoToTheirOwnOwnerOnlyFile) {
  test::EventLogCapture log;
  test::TempDir dir;
  AuditTrail::SetChangeFile(dir.File("changes.jsonl"));
  ASSERT_EQ(AuditTrail::Record({"admin", "10.0.0.5"}, "renamed \"tc01\"", "tc09", "10.0.0.1"), 0);
  struct stat st;
  ASSERT_EQ(::stat(dir.File("changes.jsonl").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string line = test::ReadFile(dir.File("changes.jsonl"));
  EXPECT_NE(line.find("\"text\":\"INFO: Change by admin from 10.0.0.5: renamed \\\"tc01\\\".\""), std::string::npos) << line;
  EXPECT_NE(line.find("\"kind\":\"change\",\"element\":\"tc09\",\"address\":\"10.0.0.1\",\"pid\":" +
                      std::to_string(::getpid()) + "}\n"), std::string::npos) << line;
  EXPECT_EQ(log.Count("Change by admin"), 1);  // the event log has it too
  ASSERT_EQ(::symlink(dir.File("elsewhere").c_str(), dir.File("planted").c_str()), 0);
  AuditTrail::SetChangeFile(dir.File("planted"));
  EXPECT_EQ(AuditTrail::Record({"admin", "10.0.0.5"}, "more"), RegularFile::kSymbolicLink);
  EXPECT_FALSE(dir.Exists("elsewhere"));
  AuditTrail::SetChangeFile("");
}
