// Sessions (tokens, idle time, lifetime, the bound on their number) and the
// login throttle.
#include <gtest/gtest.h>

#include "platform/zepa/users/login_throttle.h"
#include "platform/zepa/users/session_table.h"

#include <vector>

using namespace orla;
using std::chrono::minutes;
using std::chrono::seconds;

namespace {
SessionTable::Settings Small() {
  SessionTable::Settings settings;
  settings.idle = minutes(30);
  settings.lifetime = minutes(120);
  settings.maxSessions = 3;
  return settings;
}
}  // namespace

TEST(SessionTable, IdleSessionsExpireAndUseKeepsThemAlive) {
  SessionTable table(Small());
  const auto t0 = Clock::System()->SteadyNow();
  const std::string token = table.Create("administrator", "$y$h", t0);
  EXPECT_EQ(token.size(), 64u);
  ASSERT_TRUE(table.Touch(token, t0 + minutes(29)));
  ASSERT_TRUE(table.Touch(token, t0 + minutes(58)));  // 29 minutes after the last use
  EXPECT_EQ(table.Touch(token, t0 + minutes(58))->user, "administrator");
  EXPECT_FALSE(table.Touch(token, t0 + minutes(88) + seconds(1)));
  EXPECT_EQ(table.Count(), 0u);  // removed when found expired
  EXPECT_FALSE(table.Touch("not-a-token", t0));
}

TEST(SessionTable, LifetimeEndsEvenABusySession) {
  SessionTable table(Small());
  const auto t0 = Clock::System()->SteadyNow();
  const std::string token = table.Create("u", "h", t0);
  for (int m = 20; m < 120; m += 20) ASSERT_TRUE(table.Touch(token, t0 + minutes(m)));
  EXPECT_FALSE(table.Touch(token, t0 + minutes(120)));
}

TEST(SessionTable, FullTableDropsExpiredSessionsFirst) {
  SessionTable table(Small());
  const auto t0 = Clock::System()->SteadyNow();
  const std::string a = table.Create("a", "h", t0);
  const std::string b = table.Create("b", "h", t0 + seconds(1));
  const std::string c = table.Create("c", "h", t0 + seconds(2));
  ASSERT_TRUE(table.Touch(a, t0 + minutes(20)));
  ASSERT_TRUE(table.Touch(c, t0 + minutes(20)));  // b has been idle longest
  const std::string d = table.Create("d", "h", t0 + minutes(31));  // b has expired
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_FALSE(table.Touch(b, t0 + minutes(32)));
  EXPECT_TRUE(table.Touch(a, t0 + minutes(32)));
  EXPECT_TRUE(table.Touch(c, t0 + minutes(32)));
  EXPECT_TRUE(table.Touch(d, t0 + minutes(32)));
  table.Remove(d);
  EXPECT_FALSE(table.Touch(d, t0 + minutes(33)));
  EXPECT_NE(a, c);
}

TEST(LoginThrottle, BlocksAnAddressAfterRepeatedFailures) {
  LoginThrottle throttle;
  const auto t0 = Clock::System()->SteadyNow();
  for (int i = 0; i < 4; ++i) throttle.Failed("10.0.0.1", "u", t0 + seconds(i));
  EXPECT_TRUE(throttle.Allowed("10.0.0.1", t0 + seconds(5)));
  throttle.Failed("10.0.0.1", "u", t0 + seconds(5));
  EXPECT_FALSE(throttle.Allowed("10.0.0.1", t0 + seconds(6)));
  EXPECT_TRUE(throttle.Allowed("10.0.0.2", t0 + seconds(6)));  // others are not affected
  EXPECT_TRUE(throttle.Allowed("10.0.0.1", t0 + seconds(65)));
  // Failures spread wider than the window never block.
  for (int i = 0; i < 10; ++i) throttle.Failed("10.0.0.3", "u", t0 + minutes(2 * i));
  EXPECT_TRUE(throttle.Allowed("10.0.0.3", t0 + minutes(18) + seconds(1)));
  // A success of the account that failed forgets its failures; another
  // account's success forgets nothing.
  struct Case {
    std::vector<const char*> failedAccounts;
    const char* succeeded;
    bool forgotten;
  };
  const std::vector<Case> cases = {
      {{"admin", "admin", "admin", "admin"}, "admin", true},
      {{"admin", "admin", "admin", "admin"}, "reader", false},
      {{"admin", "reader", "reader", "reader"}, "reader", false},
      {{}, "reader", true},
  };
  for (const Case& c : cases) {
    LoginThrottle fresh;
    for (const char* account : c.failedAccounts) fresh.Failed("10.0.0.4", account, t0);
    fresh.Succeeded("10.0.0.4", c.succeeded);
    fresh.Failed("10.0.0.4", "admin", t0);  // the fifth, unless the others were forgotten
    EXPECT_EQ(fresh.Allowed("10.0.0.4", t0 + seconds(1)), c.forgotten) << c.succeeded;
  }
}

TEST(LoginThrottle, AttemptsUnderWayCountAgainstTheLimit) {
  LoginThrottle throttle;
  const auto t0 = Clock::System()->SteadyNow();
  // Five parallel guesses are let in, the sixth is refused while they run.
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(throttle.Begin("10.0.0.1", t0)) << i;
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0));
  EXPECT_TRUE(throttle.Begin("10.0.0.2", t0));  // another address is not affected
  // One ends well: the address is open again for the one slot it freed.
  throttle.Succeeded("10.0.0.1", "u");
  EXPECT_TRUE(throttle.Begin("10.0.0.1", t0));
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0));
  // All five fail: the address is blocked for the minute.
  for (int i = 0; i < 5; ++i) throttle.Failed("10.0.0.1", "u", t0 + seconds(1));
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0 + seconds(30)));
  EXPECT_TRUE(throttle.Begin("10.0.0.1", t0 + seconds(62)));
}

TEST(LoginThrottle, AFullTableForgetsItsOldestEntry) {
  LoginThrottle throttle(3);
  const auto t0 = Clock::System()->SteadyNow();
  // Four failures each, seen in this order: a first, c last.
  for (const char* key : {"a", "b", "c"}) {
    for (int i = 0; i < 4; ++i) throttle.Failed(key, "u", t0 + seconds(key[0] - 'a'));
  }
  throttle.Failed("d", "u", t0 + seconds(10));  // the table is full: a goes
  // b and c kept their four: a fifth blocks them.
  for (const char* key : {"b", "c"}) throttle.Failed(key, "u", t0 + seconds(11));
  EXPECT_FALSE(throttle.Allowed("b", t0 + seconds(12)));
  EXPECT_FALSE(throttle.Allowed("c", t0 + seconds(12)));
  // a starts over (and d, seen longest ago now, makes room for it).
  throttle.Failed("a", "u", t0 + seconds(12));
  EXPECT_TRUE(throttle.Allowed("a", t0 + seconds(13)));
}

TEST(SessionTable, EachUserHoldsAtMostItsCapAndNeverEndsAnothersSessions) {
  SessionTable::Settings settings = Small();
  settings.maxSessions = 6;
  settings.maxPerUser = 3;
  SessionTable table(settings);
  const auto t0 = Clock::System()->SteadyNow();
  const std::string admin = table.Create("administrator", "h", t0);
  std::vector<std::string> reader;
  for (int i = 0; i < 8; ++i) reader.push_back(table.Create("reader", "h", t0 + seconds(1 + i)));
  // The reader's three newest remain, the administrator's one is untouched.
  EXPECT_EQ(table.Count(), 4u);
  EXPECT_TRUE(table.Touch(admin, t0 + seconds(20)));
  for (int i = 0; i < 8; ++i) EXPECT_EQ(table.Touch(reader[i], t0 + seconds(20)).has_value(), i >= 5) << i;
  // A full table: a user with sessions gives up its own oldest; a user
  // without any gets none rather than ending someone else's.
  const std::string admin2 = table.Create("administrator", "h", t0 + seconds(21));
  const std::string other = table.Create("other", "h", t0 + seconds(22));
  ASSERT_EQ(table.Count(), 6u);
  EXPECT_EQ(table.Create("third", "h", t0 + seconds(23)), "");
  EXPECT_FALSE(table.Create("administrator", "h", t0 + seconds(24)).empty());
  EXPECT_FALSE(table.Touch(admin, t0 + seconds(25)));
  EXPECT_TRUE(table.Touch(admin2, t0 + seconds(25)));
  EXPECT_TRUE(table.Touch(other, t0 + seconds(25)));
  EXPECT_TRUE(table.Touch(reader[7], t0 + seconds(25)));
}
