// The maintenance windows: their life in the book, told to the end
// listener, kept in the agent directory's file across a restart (one table
// of steps), and the windows the book refuses.
#include <sys/stat.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "agent/core/maintenance_book.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

using Outcome = MaintenanceBook::Outcome;

class MaintenanceBookTest : public ::testing::Test {
 protected:
  // A new book on the file, telling `ended` of each window's end.
  std::unique_ptr<MaintenanceBook> Open() {
    auto book = std::make_unique<MaintenanceBook>(path, &clock);
    book->SetEndListener([this](const MaintenanceWindow& w) { ended.push_back(w.element); });
    return book;
  }
  int64_t Minutes(int64_t n) { return clock.WallMilliseconds() + n * 60 * 1000; }

  test::TempDir dir;
  test::ManualClock clock;
  std::string path = dir.File("maintenance");
  std::vector<std::string> ended;
};

TEST_F(MaintenanceBookTest, Lifecycle) {
  // Each step acts on tc01 (and tc02), advances the clock, expires, and
  // says whether tc01 is in maintenance and which ends were told.
  enum Act { kNone, kSet30, kSetBoth60, kPlanIn10, kEnd, kRestart };
  const struct {
    const char* step;
    Act act;
    int64_t advanceMinutes;  // after the act, before the expiry
    Outcome outcome;
    bool inMaintenance;
    size_t windows;
    std::vector<std::string> ended;
  } steps[] = {
      {"nothing set", kNone, 0, Outcome::kDone, false, 0, {}},
      {"ending what is not there", kEnd, 0, Outcome::kNotInMaintenance, false, 0, {}},
      {"30 minutes", kSet30, 0, Outcome::kDone, true, 1, {}},
      {"still in it", kNone, 29, Outcome::kDone, true, 1, {}},
      {"kept across a restart", kRestart, 0, Outcome::kDone, true, 1, {}},
      {"its end passes", kNone, 1, Outcome::kDone, false, 0, {"tc01"}},
      {"both for an hour", kSetBoth60, 0, Outcome::kDone, true, 2, {}},
      {"tc01 ended early", kEnd, 0, Outcome::kDone, false, 1, {"tc01"}},
      {"the restart keeps tc02 only", kRestart, 0, Outcome::kDone, false, 1, {}},
      {"planned in 10 minutes", kPlanIn10, 0, Outcome::kDone, false, 2, {}},
      {"it begins", kNone, 10, Outcome::kDone, true, 2, {}},
      {"tc02's passes, tc01's goes on", kNone, 50, Outcome::kDone, true, 1, {"tc02"}},
      {"ended while the agent is down", kRestart, 30, Outcome::kDone, false, 0, {}},
  };
  auto book = Open();
  for (const auto& s : steps) {
    ended.clear();
    Outcome outcome = Outcome::kDone;
    MaintenanceBook::Request request{"oper1", "firmware update", 0, 0};
    switch (s.act) {
      case kNone: break;
      case kSet30: request.endMs = Minutes(30); outcome = book->Set({"tc01"}, request, nullptr); break;
      case kSetBoth60: request.endMs = Minutes(60); outcome = book->Set({"tc01", "tc02"}, request, nullptr); break;
      case kPlanIn10:
        request.startMs = Minutes(10);
        request.endMs = Minutes(70);
        outcome = book->Set({"tc01"}, request, nullptr);
        break;
      case kEnd: outcome = book->End("tc01", nullptr); break;
      case kRestart: book.reset(); break;
    }
    clock.Advance(std::chrono::minutes(s.advanceMinutes));
    if (!book) book = Open();
    book->Expire();
    EXPECT_EQ(outcome, s.outcome) << s.step;
    EXPECT_EQ(book->InMaintenanceNow("tc01"), s.inMaintenance) << s.step;
    EXPECT_EQ(book->Windows().size(), s.windows) << s.step;
    EXPECT_EQ(ended, s.ended) << s.step;
  }
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(MaintenanceBookTest, WhatIsKeptAndRefused) {
  auto book = Open();
  const int64_t now = clock.WallMilliseconds();
  const struct {
    MaintenanceBook::Request request;
    Outcome outcome;
  } cases[] = {
      {{"oper1", "", 0, Minutes(10)}, Outcome::kBadReason},
      {{"oper1", std::string(1001, 'x'), 0, Minutes(10)}, Outcome::kBadReason},
      {{"oper1", "line\nbreak", 0, Minutes(10)}, Outcome::kBadReason},
      {{"oper1", "late", 0, now}, Outcome::kBadEnd},
      {{"oper1", "before its start", Minutes(20), Minutes(10)}, Outcome::kBadEnd},
      {{"oper1", "too long", 0, Minutes(44641)}, Outcome::kBadEnd},
      {{"a\tb\\c", "swap \"drive\" 3", 0, Minutes(44640)}, Outcome::kDone},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(book->Set({"tc01"}, c.request, nullptr), c.outcome) << c.request.reason;
  }
  book = Open();
  const std::vector<MaintenanceWindow> windows = book->Windows();
  ASSERT_EQ(windows.size(), 1u);
  EXPECT_EQ(windows[0].by, "a\tb\\c");
  EXPECT_EQ(windows[0].reason, "swap \"drive\" 3");
  EXPECT_EQ(windows[0].startMs, now);
  EXPECT_EQ(windows[0].endMs, Minutes(44640));
}

TEST_F(MaintenanceBookTest, DamagedFileIsKeptAsideAndLogged) {
  const char* damaged[] = {
      "not the header\n",
      "KORAgent maintenance windows 1\ntc01\t1000\t2000\toper1\n",            // four fields
      "KORAgent maintenance windows 1\ntc01\t3000\t2000\toper1\treason\n",    // ends before it starts
      "KORAgent maintenance windows 1\ntc01\t1000\t2000\toper1\tbad \\q\n",   // escape
  };
  for (const char* text : damaged) {
    test::EventLogCapture log;
    dir.Write("maintenance", text);
    auto book = Open();
    EXPECT_EQ(log.Count("CRITICAL: The maintenance windows in " + path + " cannot be read"), 1) << text;
    EXPECT_FALSE(dir.Exists("maintenance")) << text;
    const std::string aside = "maintenance.damaged-" + std::to_string(clock.WallMilliseconds());
    ASSERT_TRUE(dir.Exists(aside)) << text;
    EXPECT_EQ(dir.Read(aside), text);
    EXPECT_TRUE(book->Windows().empty()) << text;
    clock.Advance(std::chrono::seconds(1));
  }
}

}  // namespace
}  // namespace orla
