#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "agent/core/object_list.h"
#include "agent/traps/trap_destination.h"
#include "agent/traps/trap_destination_list.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

using namespace orla;

namespace {

std::vector<std::string> Entries(TrapDestinationList& list) {
  std::unique_ptr<ObjectList> copy(list.Copy());
  std::vector<std::string> out;
  for (int32_t i = 0; i < copy->Count(); ++i) {
    out.push_back(static_cast<TrapDestination*>(copy->Get(i))->Text());
  }
  return out;
}

}  // namespace

TEST(TrapDestinationList, LoadSkipsCommentsAndEmptyLinesAndKeepsSpaces) {
  test::TempDir dir;
  dir.Write("client.ini", "# comment\n\nhost1\n! another comment\n  spaced.example \r\nlast");
  TrapDestinationList list(dir.Path());
  list.Load();
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"host1", "  spaced.example ", "last"}));
}

TEST(TrapDestinationList, LineEndsAtFirstCarriageReturnAndLongLineIsOneEntry) {
  test::TempDir dir;
  const std::string longName = std::string(120, 'a') + ".example";
  dir.Write("client.ini", "alpha\rbeta\n" + longName + "\n");
  TrapDestinationList list(dir.Path());
  list.Load();
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"alpha", longName}));
}

TEST(TrapDestinationList, MissingFileGivesEmptyListSilently) {
  test::EventLogCapture log;
  test::TempDir dir;
  TrapDestinationList list(dir.Path());
  list.Load();
  EXPECT_TRUE(Entries(list).empty());
  EXPECT_TRUE(log.Events().empty());
  EXPECT_FALSE(dir.Exists("client.ini"));
}

TEST(TrapDestinationList, AddRewritesFileWithEntriesOnly) {
  test::TempDir dir;
  dir.Write("client.ini", "# managers\nhost1\n\n!old\n 10.0.0.2\n");
  TrapDestinationList list(dir.Path());
  list.Load();
  list.Add("host3");
  EXPECT_EQ(dir.Read("client.ini"), "host1\n 10.0.0.2\nhost3\n");
}

TEST(TrapDestinationList, RemoveIsCaseSensitiveAndRewritesEvenWhenNothingMatches) {
  test::TempDir dir;
  dir.Write("client.ini", "#c\nmanager\n");
  TrapDestinationList list(dir.Path());
  list.Load();
  list.Remove("MANAGER");
  EXPECT_EQ(Entries(list), std::vector<std::string>{"manager"});
  EXPECT_EQ(dir.Read("client.ini"), "manager\n");
  list.Remove("manager");
  EXPECT_TRUE(Entries(list).empty());
  EXPECT_EQ(dir.Read("client.ini"), "");
}

TEST(TrapDestinationList, DuplicatesAreKeptAndRemoveTakesTheFirst) {
  test::TempDir dir;
  TrapDestinationList list(dir.Path());
  list.Add("a");
  list.Add("b");
  list.Add("a");
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"a", "b", "a"}));
  list.Remove("a");
  EXPECT_EQ(Entries(list), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(dir.Read("client.ini"), "b\na\n");
}

TEST(TrapDestinationList, CopyIsIndependentOfLaterChanges) {
  test::TempDir dir;
  TrapDestinationList list(dir.Path());
  list.Add("one");
  std::unique_ptr<ObjectList> copy(list.Copy());
  list.Remove("one");
  list.Add("two");
  ASSERT_EQ(copy->Count(), 1);
  EXPECT_STREQ(static_cast<TrapDestination*>(copy->Get(0))->Text(), "one");
}

TEST(TrapDestinationList, FailedRewriteIsLoggedAndChangeStaysInMemory) {
  test::EventLogCapture log;
  test::TempDir dir;
  TrapDestinationList list(dir.Path() + "/gone");
  list.Add("host1");
  EXPECT_EQ(Entries(list), std::vector<std::string>{"host1"});
  auto events = log.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "CRITICAL: Unable to open file " + dir.Path() +
                                "/gone/client.ini - No such file or directory.");
  EXPECT_EQ(events[0].eventType, 1);
}

TEST(TrapDestinationList, InstanceIsProcessWide) {
  test::TempDir dir;
  TrapDestinationList list(dir.Path());
  TrapDestinationList::SetInstance(&list);
  EXPECT_EQ(TrapDestinationList::Instance(), &list);
  TrapDestinationList::SetInstance(nullptr);
  EXPECT_EQ(TrapDestinationList::Instance(), nullptr);
}
