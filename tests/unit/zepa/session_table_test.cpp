// Sessions (tokens, idle time, lifetime, the bound on their number) and the
// login throttle.
#include <gtest/gtest.h>

#include "platform/zepa/users/login_throttle.h"
#include "platform/zepa/users/session_table.h"

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
  const auto t0 = SessionTable::Clock::now();
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
  const auto t0 = SessionTable::Clock::now();
  const std::string token = table.Create("u", "h", t0);
  for (int m = 20; m < 120; m += 20) ASSERT_TRUE(table.Touch(token, t0 + minutes(m)));
  EXPECT_FALSE(table.Touch(token, t0 + minutes(120)));
}

TEST(SessionTable, FullTableDropsExpiredThenLeastRecentlyUsed) {
  SessionTable table(Small());
  const auto t0 = SessionTable::Clock::now();
  const std::string a = table.Create("a", "h", t0);
  const std::string b = table.Create("b", "h", t0 + seconds(1));
  const std::string c = table.Create("c", "h", t0 + seconds(2));
  ASSERT_TRUE(table.Touch(a, t0 + seconds(3)));  // b is now the least recently used
  const std::string d = table.Create("d", "h", t0 + seconds(4));
  EXPECT_EQ(table.Count(), 3u);
  EXPECT_FALSE(table.Touch(b, t0 + seconds(5)));
  EXPECT_TRUE(table.Touch(a, t0 + seconds(5)));
  EXPECT_TRUE(table.Touch(c, t0 + seconds(5)));
  EXPECT_TRUE(table.Touch(d, t0 + seconds(5)));
  table.Remove(d);
  EXPECT_FALSE(table.Touch(d, t0 + seconds(6)));
  EXPECT_NE(a, c);
}

TEST(LoginThrottle, BlocksAnAddressAfterRepeatedFailures) {
  LoginThrottle throttle;
  const auto t0 = LoginThrottle::Clock::now();
  for (int i = 0; i < 4; ++i) throttle.Failed("10.0.0.1", t0 + seconds(i));
  EXPECT_TRUE(throttle.Allowed("10.0.0.1", t0 + seconds(5)));
  throttle.Failed("10.0.0.1", t0 + seconds(5));
  EXPECT_FALSE(throttle.Allowed("10.0.0.1", t0 + seconds(6)));
  EXPECT_TRUE(throttle.Allowed("10.0.0.2", t0 + seconds(6)));  // others are not affected
  EXPECT_TRUE(throttle.Allowed("10.0.0.1", t0 + seconds(65)));
  // Failures spread wider than the window never block.
  for (int i = 0; i < 10; ++i) throttle.Failed("10.0.0.3", t0 + minutes(2 * i));
  EXPECT_TRUE(throttle.Allowed("10.0.0.3", t0 + minutes(18) + seconds(1)));
  // A success forgets earlier failures.
  for (int i = 0; i < 4; ++i) throttle.Failed("10.0.0.4", t0);
  throttle.Succeeded("10.0.0.4");
  throttle.Failed("10.0.0.4", t0);
  EXPECT_TRUE(throttle.Allowed("10.0.0.4", t0 + seconds(1)));
}

TEST(LoginThrottle, AttemptsUnderWayCountAgainstTheLimit) {
  LoginThrottle throttle;
  const auto t0 = LoginThrottle::Clock::now();
  // Five parallel guesses are let in, the sixth is refused while they run.
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(throttle.Begin("10.0.0.1", t0)) << i;
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0));
  EXPECT_TRUE(throttle.Begin("10.0.0.2", t0));  // another address is not affected
  // One ends well: the address is open again for the one slot it freed.
  throttle.Succeeded("10.0.0.1");
  EXPECT_TRUE(throttle.Begin("10.0.0.1", t0));
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0));
  // All five fail: the address is blocked for the minute.
  for (int i = 0; i < 5; ++i) throttle.Failed("10.0.0.1", t0 + seconds(1));
  EXPECT_FALSE(throttle.Begin("10.0.0.1", t0 + seconds(30)));
  EXPECT_TRUE(throttle.Begin("10.0.0.1", t0 + seconds(62)));
}
