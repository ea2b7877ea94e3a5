// The alarms: which conditions an element's snapshot shows (one table),
// and their lifecycle in the book, acknowledgements kept in the agent
// directory's file across a restart (one table of steps), and a file that
// cannot be read.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/alarms/alarm_book.h"
#include "agent/alarms/alarm_conditions.h"
#include "agent/alarms/alarm_file.h"
#include "agent/core/maintenance_book.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

using State = Alarm::State;

ElementView Element(const std::string& name, int32_t status, const std::string& reason = "", bool answered = true) {
  ElementView e;
  e.record.name = name;
  e.record.address = "127.0.9.1";
  e.record.typeName = "FAMIB";
  e.status.status = status;
  e.status.reason = reason;
  e.status.answeredLastPoll = answered;
  e.status.statusSinceMs = 5000;
  e.status.lastAnsweredMs = answered ? 6000 : 4000;
  return e;
}

TEST(AlarmConditionsTest, WhatAnElementShows) {
  ElementView unbound = Element("tc05", -1, "", false);
  unbound.record.unboundReason = "Not responding";
  ElementView stale = Element("tc06", 2, "No SNMPv3 profile (v3-only)", false);
  stale.status.stale = true;
  const struct {
    ElementView element;
    const char* kind;  // null: no alarm
    int severity;
    const char* reason;
    int64_t since;
  } cases[] = {
      {Element("tc01", 0), nullptr, 0, "", 0},
      {Element("tc01", -1, "", false), nullptr, 0, "", 0},  // bound, not polled yet
      {Element("tc01", 2, "Drive 3 needs cleaning"), "status", 2, "Drive 3 needs cleaning", 5000},
      {Element("tc01", 2), "status", 2, "Failed", 5000},
      {Element("tc01", 1, "Fan slow"), "status", 1, "Fan slow", 5000},
      {Element("tc01", 3), "status", 1, "Unknown", 5000},
      {Element("tc01", 7, "odd"), "status", 1, "odd", 5000},
      // Not answering hides the status it left behind.
      {Element("tc01", 2, "", false), "unanswered", 2, "Not answering", 4000},
      {Element("tc01", 0, "Authentication failed", false), "unanswered", 2, "Authentication failed", 4000},
      {unbound, "unbound", 1, "Not responding", 5000},
      {stale, "stale", 1, "No SNMPv3 profile (v3-only)", 5000},
  };
  for (const auto& c : cases) {
    const std::vector<Alarm> alarms = AlarmConditions::Of(c.element, 0);
    const std::string what = c.element.record.name + " status " + std::to_string(c.element.status.status);
    if (c.kind == nullptr) {
      EXPECT_TRUE(alarms.empty()) << what;
      continue;
    }
    ASSERT_EQ(alarms.size(), 1u) << what;
    EXPECT_EQ(alarms[0].id, c.element.record.name + ":" + c.kind) << what;
    EXPECT_EQ(alarms[0].kind, c.kind) << what;
    EXPECT_EQ(alarms[0].severity, c.severity) << what;
    EXPECT_EQ(alarms[0].reason, c.reason) << what;
    EXPECT_EQ(alarms[0].sinceMs, c.since) << what;
    EXPECT_EQ(alarms[0].state, State::kRaised) << what;
  }
}

// A trap's condition is an alarm of its own beside the status's, until it
// lapses; an unbound element (no plug-in to have raised it) shows none.
TEST(AlarmConditionsTest, TrapConditionsStandUntilTheyLapse) {
  ElementView lib = Element("lib01", 1, "Drive 2 degraded");
  lib.status.trapConditions = {{"drive:2:tapealert:20", 1, "TapeAlert from drive 2: clean now.", 7000, 9000},
                               {"drive:3:tapealert:4", 2, "TapeAlert from drive 3: media.", 7500, 20000}};
  const struct {
    int64_t now;
    std::vector<std::string> ids;
  } cases[] = {
      {8000, {"lib01:status", "lib01:trap:drive:2:tapealert:20", "lib01:trap:drive:3:tapealert:4"}},
      {9000, {"lib01:status", "lib01:trap:drive:3:tapealert:4"}},
      {20000, {"lib01:status"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> ids;
    for (const Alarm& alarm : AlarmConditions::Of(lib, c.now)) ids.push_back(alarm.id);
    EXPECT_EQ(ids, c.ids) << c.now;
  }
  const Alarm media = AlarmConditions::Of(lib, 8000).back();
  EXPECT_EQ(media.kind, "trap");
  EXPECT_EQ(media.part, "drive:3:tapealert:4");
  EXPECT_EQ(media.severity, 2);
  EXPECT_EQ(media.reason, "TapeAlert from drive 3: media.");
  EXPECT_EQ(media.sinceMs, 7500);
  lib.record.unboundReason = "Not responding";
  EXPECT_EQ(AlarmConditions::Of(lib, 8000).size(), 1u);
}

class AlarmBookTest : public ::testing::Test {
 protected:
  std::optional<Alarm> Find(AlarmBook& book, const std::string& id) { return book.Find(elements, id); }

  test::TempDir dir;
  test::ManualClock clock;
  std::string path = dir.File("alarms.ack");
  std::vector<ElementView> elements;
};

TEST_F(AlarmBookTest, Lifecycle) {
  // Each step changes the elements or acts, then says what tc01's alarm is.
  enum Act { kNone, kAck, kAckFor10, kWithdraw, kRestart };
  const struct {
    const char* step;
    int32_t status;  // tc01's status
    Act act;
    int64_t advanceMinutes;  // before the look
    AlarmBook::Outcome outcome;
    std::optional<State> state;  // none: no alarm with the id
  } steps[] = {
      {"degraded: raised", 1, kNone, 0, AlarmBook::Outcome::kDone, State::kRaised},
      {"taken", 1, kAck, 0, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"stays taken", 1, kNone, 5, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"survives a restart", 1, kRestart, 0, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"worse: raised again", 2, kNone, 0, AlarmBook::Outcome::kDone, State::kRaised},
      {"taken for 10 minutes", 2, kAckFor10, 0, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"better is not worse", 1, kNone, 9, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"expired: raised", 1, kNone, 2, AlarmBook::Outcome::kDone, State::kRaised},
      {"withdrawing an alarm nobody took", 1, kWithdraw, 0, AlarmBook::Outcome::kNotAcknowledged, State::kRaised},
      {"taken again", 1, kAck, 0, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"withdrawn", 1, kWithdraw, 0, AlarmBook::Outcome::kDone, State::kRaised},
      {"taken once more", 1, kAck, 0, AlarmBook::Outcome::kDone, State::kAcknowledged},
      {"recovered: cleared", 0, kNone, 0, AlarmBook::Outcome::kDone, State::kCleared},
      {"a cleared alarm cannot be taken", 0, kAck, 0, AlarmBook::Outcome::kNotActive, State::kCleared},
      {"back: raised, not taken", 2, kRestart, 0, AlarmBook::Outcome::kDone, State::kRaised},
      {"cleared, long ago", 0, kNone, 61, AlarmBook::Outcome::kDone, State::kCleared},
      {"forgotten after an hour", 0, kNone, 61, AlarmBook::Outcome::kDone, std::nullopt},
      {"an unknown alarm", 0, kAck, 0, AlarmBook::Outcome::kNoSuchAlarm, std::nullopt},
  };
  auto book = std::make_unique<AlarmBook>(path, &clock);
  elements = {Element("tc02", 2, "Drive 1 failed"), Element("tc01", 0)};
  elements[0].status.statusSinceMs = 1000;  // older: first among the critical ones
  for (const auto& s : steps) {
    elements[1] = Element("tc01", s.status, "Fan");
    clock.Advance(std::chrono::minutes(s.advanceMinutes));
    AlarmBook::Outcome outcome = AlarmBook::Outcome::kDone;
    Alarm after;
    switch (s.act) {
      case kNone: break;
      case kAck: outcome = book->Acknowledge(elements, "tc01:status", {"oper1", "on it", 0}, &after); break;
      case kAckFor10: outcome = book->Acknowledge(elements, "tc01:status", {"oper2", "", 10}, &after); break;
      case kWithdraw: outcome = book->Unacknowledge(elements, "tc01:status", &after); break;
      case kRestart: book = std::make_unique<AlarmBook>(path, &clock); break;
    }
    EXPECT_EQ(outcome, s.outcome) << s.step;
    const std::optional<Alarm> alarm = Find(*book, "tc01:status");
    ASSERT_EQ(alarm.has_value(), s.state.has_value()) << s.step;
    if (!alarm) continue;
    EXPECT_EQ(alarm->state, *s.state) << s.step;
    if (alarm->state == State::kAcknowledged) {
      EXPECT_FALSE(alarm->acknowledgement.user.empty()) << s.step;
      EXPECT_GT(alarm->acknowledgement.atMs, 0) << s.step;
    }
    // The other element's alarm, worst, stays first throughout.
    EXPECT_EQ(book->Current(elements).front().id, "tc02:status") << s.step;
  }
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(AlarmBookTest, WhatIsKeptAndRefused) {
  elements = {Element("tc01", 1), Element("tc02", 2)};
  {
    AlarmBook book(path, &clock);
    Alarm after;
    // Tabs, line ends and backslashes in a user's name survive the file.
    ASSERT_EQ(book.Acknowledge(elements, "tc02:status", {"a\tb\\c\nd", "cartridge ordered", 60}, &after),
              AlarmBook::Outcome::kDone);
    EXPECT_EQ(book.Acknowledge(elements, "tc01:status", {"oper1", std::string(1001, 'x'), 0}, &after),
              AlarmBook::Outcome::kBadNote);
    EXPECT_EQ(book.Acknowledge(elements, "tc01:status", {"oper1", "line\nbreak", 0}, &after),
              AlarmBook::Outcome::kBadNote);
    EXPECT_EQ(book.Acknowledge(elements, "tc01:status", {"oper1", "", 44641}, &after),
              AlarmBook::Outcome::kBadExpiry);
  }
  AlarmBook again(path, &clock);
  const std::vector<Alarm> alarms = again.Current(elements);
  ASSERT_EQ(alarms.size(), 2u);
  EXPECT_EQ(alarms[0].id, "tc02:status");
  EXPECT_EQ(alarms[0].acknowledgement.user, "a\tb\\c\nd");
  EXPECT_EQ(alarms[0].acknowledgement.note, "cartridge ordered");
  EXPECT_EQ(alarms[0].acknowledgement.expiresMs, alarms[0].acknowledgement.atMs + 60 * 60 * 1000);
  EXPECT_EQ(alarms[1].state, State::kRaised);  // the refused ones changed nothing

  // A file the book cannot write: the acknowledgement is refused, nothing changes.
  ASSERT_EQ(::chmod(dir.Path().c_str(), 0500), 0);
  Alarm after;
  if (::access(dir.Path().c_str(), W_OK) != 0) {  // root writes anyway
    EXPECT_EQ(again.Acknowledge(elements, "tc01:status", {"oper1", "", 0}, &after), AlarmBook::Outcome::kNotSaved);
    EXPECT_EQ(again.Find(elements, "tc01:status")->state, State::kRaised);
  }
  ::chmod(dir.Path().c_str(), 0700);
}

TEST_F(AlarmBookTest, InMaintenanceWhileAWindowCoversTheElement) {
  MaintenanceBook maintenance(dir.File("maintenance"), &clock);
  AlarmBook book(path, &clock, &maintenance);
  elements = {Element("tc01", 2), Element("tc02", 1)};
  const MaintenanceBook::Request request{"oper1", "drive swap", 0, clock.WallMilliseconds() + 30 * 60 * 1000};
  ASSERT_EQ(maintenance.Set({"tc01"}, request, nullptr), MaintenanceBook::Outcome::kDone);
  Alarm after;
  // Taken before or during the window, the alarm shows the window.
  ASSERT_EQ(book.Acknowledge(elements, "tc01:status", {"oper1", "", 0}, &after), AlarmBook::Outcome::kDone);
  EXPECT_EQ(Find(book, "tc01:status")->state, State::kMaintenance);
  EXPECT_EQ(Find(book, "tc01:status")->acknowledgement.user, "oper1");
  EXPECT_EQ(Find(book, "tc02:status")->state, State::kRaised);
  clock.Advance(std::chrono::minutes(30));
  EXPECT_EQ(Find(book, "tc01:status")->state, State::kAcknowledged);
}

TEST_F(AlarmBookTest, DamagedFileIsKeptAsideAndLogged) {
  const char* damaged[] = {
      "",
      "not the header\n",
      "KORAgent alarm acknowledgements 1\ntc01:status\t1\toper1\t1000\t0\n",           // five fields
      "KORAgent alarm acknowledgements 1\ntc01:status\t9\toper1\t1000\t0\tnote\n",     // severity
      "KORAgent alarm acknowledgements 1\ntc01:status\t1\toper1\t-5\t0\tnote\n",       // time
      "KORAgent alarm acknowledgements 1\ntc01:status\t1\toper1\t1000\t0\tbad \\q\n",  // escape
      "KORAgent alarm acknowledgements 1\ntc01:status\t1\toper1\t1000\t0\tnote",       // cut short
  };
  elements = {Element("tc01", 1)};
  for (const char* text : damaged) {
    test::EventLogCapture log;
    dir.Write("alarms.ack", text);
    AlarmBook book(path, &clock);
    EXPECT_EQ(log.Count("CRITICAL: The alarm acknowledgements in " + path + " cannot be read"), 1) << text;
    EXPECT_FALSE(dir.Exists("alarms.ack")) << text;
    const std::string aside = "alarms.ack.damaged-" + std::to_string(clock.WallMilliseconds());
    ASSERT_TRUE(dir.Exists(aside)) << text;
    EXPECT_EQ(dir.Read(aside), text);
    EXPECT_EQ(book.Find(elements, "tc01:status")->state, State::kRaised) << text;
    clock.Advance(std::chrono::seconds(1));
  }
}

}  // namespace
}  // namespace orla
