#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/object_list.h"
#include "agent/traps/trap_destination.h"
#include "agent/traps/trap_destination_list.h"
#include "tests/support/temp_dir.h"

using namespace orla;

// Web request threads add and remove while trap senders copy: every copy is a
// consistent snapshot and the file ends equal to the list.
TEST(TrapDestinationListThreaded, ConcurrentAddRemoveCopyStayConsistent) {
  test::TempDir dir;
  TrapDestinationList list(dir.Path());
  constexpr int kWriters = 3;
  constexpr int kRounds = 40;
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&list, w] {
      for (int i = 0; i < kRounds; ++i) {
        const std::string keep = "keep" + std::to_string(w) + "-" + std::to_string(i);
        const std::string drop = "drop" + std::to_string(w) + "-" + std::to_string(i);
        list.Add(keep.c_str());
        list.Add(drop.c_str());
        list.Remove(drop.c_str());
      }
    });
  }
  std::thread reader([&list] {
    for (int i = 0; i < 200; ++i) {
      std::unique_ptr<ObjectList> copy(list.Copy());
      std::set<std::string> seen;
      for (int32_t j = 0; j < copy->Count(); ++j) {
        ASSERT_NE(copy->Get(j), nullptr);
        EXPECT_TRUE(seen.insert(static_cast<TrapDestination*>(copy->Get(j))->Text()).second);
      }
    }
  });
  for (auto& t : threads) t.join();
  reader.join();

  std::unique_ptr<ObjectList> final(list.Copy());
  EXPECT_EQ(final->Count(), kWriters * kRounds);
  std::string expected;
  for (int32_t j = 0; j < final->Count(); ++j) {
    const std::string text = static_cast<TrapDestination*>(final->Get(j))->Text();
    EXPECT_EQ(text.rfind("keep", 0), 0u);
    expected += text + "\n";
  }
  EXPECT_EQ(dir.Read("client.ini"), expected);
}
