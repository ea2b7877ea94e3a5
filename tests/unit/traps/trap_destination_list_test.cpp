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

using Strings = std::vector<std::string>;

std::vector<std::string> Entries(TrapDestinationList& list) {
  std::unique_ptr<ObjectList> copy(list.Copy());
  std::vector<std::string> out;
  for (int32_t i = 0; i < copy->Count(); ++i) {
    out.push_back(static_cast<TrapDestination*>(copy->Get(i))->Text());
  }
  return out;
}

class TrapDestinationListTest : public ::testing::Test {
 protected:
  // A list loaded from a client.ini holding `contents`.
  TrapDestinationList& LoadedFrom(const std::string& contents) {
    dir_.Write("client.ini", contents);
    list_.Load();
    return list_;
  }

  test::EventLogCapture log_;
  test::TempDir dir_;
  TrapDestinationList list_{dir_.Path()};
};

TEST_F(TrapDestinationListTest, LoadKeepsEntryLinesAsTheyAre) {
  const std::string longName = std::string(120, 'a') + ".example";
  const struct {
    std::string file;
    Strings entries;
  } cases[] = {
      // Comments and empty lines skipped, spaces kept.
      {"# comment\n\nhost1\n! another comment\n  spaced.example \r\nlast", {"host1", "  spaced.example ", "last"}},
      // A line ends at its first carriage return; a long line is one entry.
      {"alpha\rbeta\n" + longName + "\n", {"alpha", longName}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    TrapDestinationList list(dir_.Path());
    dir_.Write("client.ini", c.file);
    list.Load();
    EXPECT_EQ(Entries(list), c.entries);
  }
}

TEST_F(TrapDestinationListTest, MissingFileGivesEmptyListSilently) {
  list_.Load();
  EXPECT_TRUE(Entries(list_).empty());
  EXPECT_TRUE(log_.Events().empty());
  EXPECT_FALSE(dir_.Exists("client.ini"));
}

TEST_F(TrapDestinationListTest, RewriteKeepsCommentsAndEmptyLinesInPlace) {
  const struct {
    std::string file;
    bool add;  // else remove
    const char* text;
    std::string rewritten;
  } cases[] = {
      {"# managers\nhost1\n\n!old\n 10.0.0.2\n", true, "host3", "# managers\nhost1\n\n!old\n 10.0.0.2\nhost3\n"},
      {"# managers\nhost1\n\n!old\n 10.0.0.2\n", false, "host1", "# managers\n\n!old\n 10.0.0.2\n"},
      // The first of two equal entries goes; a comment keeps its carriage
      // return; a last line without a line feed gets one.
      {"a\r\n# c\r\na\n", false, "a", "# c\r\na\n"},
      {"#c\nhost", true, "x", "#c\nhost\nx\n"},
      // Nothing removed: the file is rewritten as it was.
      {"#c\nmanager\n", false, "MANAGER", "#c\nmanager\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " " + c.text);
    TrapDestinationList list(dir_.Path());
    dir_.Write("client.ini", c.file);
    list.Load();
    c.add ? list.Add(c.text) : list.Remove(c.text);
    EXPECT_EQ(dir_.Read("client.ini"), c.rewritten);
  }
}

TEST_F(TrapDestinationListTest, RemoveIsCaseSensitive) {
  LoadedFrom("#c\nmanager\n").Remove("MANAGER");
  EXPECT_EQ(Entries(list_), Strings{"manager"});
  list_.Remove("manager");
  EXPECT_TRUE(Entries(list_).empty());
  EXPECT_EQ(dir_.Read("client.ini"), "#c\n");
}

TEST_F(TrapDestinationListTest, AddIfUnchangedAddsOnlyToTheListItWasCheckedAgainst) {
  uint64_t checked = 0;
  delete list_.Copy(&checked);
  list_.Add("first");  // another administrator, meanwhile
  EXPECT_FALSE(list_.AddIfUnchanged("first", checked));
  EXPECT_EQ(Entries(list_), Strings{"first"});
  delete list_.Copy(&checked);
  EXPECT_TRUE(list_.AddIfUnchanged("second", checked));
  EXPECT_EQ(dir_.Read("client.ini"), "first\nsecond\n");
}

TEST_F(TrapDestinationListTest, DuplicatesAreKeptAndRemoveTakesTheFirst) {
  for (const char* name : {"a", "b", "a"}) list_.Add(name);
  EXPECT_EQ(Entries(list_), (Strings{"a", "b", "a"}));
  list_.Remove("a");
  EXPECT_EQ(Entries(list_), (Strings{"b", "a"}));
  EXPECT_EQ(dir_.Read("client.ini"), "b\na\n");
}

TEST_F(TrapDestinationListTest, CopyIsIndependentOfLaterChanges) {
  list_.Add("one");
  std::unique_ptr<ObjectList> copy(list_.Copy());
  list_.Remove("one");
  list_.Add("two");
  ASSERT_EQ(copy->Count(), 1);
  EXPECT_STREQ(static_cast<TrapDestination*>(copy->Get(0))->Text(), "one");
}

TEST_F(TrapDestinationListTest, FailedRewriteIsLoggedAndChangeStaysInMemory) {
  TrapDestinationList list(dir_.Path() + "/gone");
  list.Add("host1");
  EXPECT_EQ(Entries(list), Strings{"host1"});
  auto events = log_.Events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, "CRITICAL: Unable to open file " + dir_.Path() +
                                "/gone/client.ini - No such file or directory.");
  EXPECT_EQ(events[0].eventType, 1);
}

}  // namespace
