// What the trap receiver keeps per source and per inform stays bounded
// however many forged sources and informs arrive, and refills with time.
#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "platform/snmpmgr/recent_informs.h"
#include "platform/snmpmgr/source_budget.h"

using namespace orla;
using namespace std::chrono_literals;

TEST(ReceiverBounds, SourceBudgetSpendsRefillsAndForgetsTheLongestIdle) {
  const auto t0 = std::chrono::steady_clock::time_point() + 1h;
  SourceBudget budget(3, 2, 100);
  int spent = 0;
  while (budget.Spend(7, t0)) ++spent;
  EXPECT_EQ(spent, 3);
  EXPECT_FALSE(budget.Has(7, t0 + 400ms));
  EXPECT_TRUE(budget.Has(7, t0 + 500ms));  // 2 a second
  EXPECT_TRUE(budget.Spend(8, t0));         // another source has its own
  // A hundred thousand sources keep a hundred entries; the longest idle
  // went first, and a source that comes back starts full.
  for (uint32_t s = 1000; s < 101000; ++s) budget.Spend(s, t0 + 1s);
  EXPECT_EQ(budget.Sources(), 100u);
  EXPECT_TRUE(budget.Spend(7, t0 + 1s));
}

TEST(ReceiverBounds, RecentInformsRememberWithinTheWindowAndUpToTheirCapacity) {
  const auto t0 = std::chrono::steady_clock::time_point() + 1h;
  RecentInforms recent(3);
  EXPECT_FALSE(recent.Seen("a", t0));
  recent.Remember("a", t0);
  EXPECT_TRUE(recent.Seen("a", t0 + 149s));
  EXPECT_FALSE(recent.Seen("a", t0 + RecentInforms::kWindow));
  for (int i = 0; i < 1000; ++i) recent.Remember("k" + std::to_string(i), t0 + 1s);
  EXPECT_LE(recent.Size(), 3u);
  EXPECT_TRUE(recent.Seen("k999", t0 + 2s));
  EXPECT_FALSE(recent.Seen("k0", t0 + 2s));
}
