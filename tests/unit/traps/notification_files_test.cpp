// The files of the agent's own SNMP notifications: targets.ini
// (NotificationTargetList) and snmpengine.ini (LocalEngine).
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "agent/snmp/local_engine.h"
#include "agent/traps/notification_target_list.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

// What a target file's text reads as: its targets by name and kind, or the
// error (naming the line) that refuses it whole.
TEST(NotificationTargetFile, ParsesGoodLinesAndRefusesBadOnesNamingTheLine) {
  struct Row {
    const char* text;
    const char* targets;  // "NAME KIND;..." or the error
  } rows[] = {
      {"", ""},
      {"# comment\n\nnms 162 v3-inform ops\r\n10.0.0.5 1162 v2c-trap public\n",
       "nms:162 v3-inform;10.0.0.5:1162 v2c-trap;"},
      {"::1 162 v2c-inform c\n", "[::1]:162 v2c-inform;"},
      {"nms 162 v4-trap c\n", "line 1: unknown kind \"v4-trap\""},
      {"nms 0 v2c-trap c\n", "line 1: the port is not between 1 and 65535"},
      {"nms x v2c-trap c\n", "line 1: the port is not a number"},
      {"nms 162 v2c-trap\n", "line 1: expected HOST PORT KIND CREDENTIAL"},
      {"nms 162 v2c-trap a b\n", "line 1: expected HOST PORT KIND CREDENTIAL"},
      {"nms 162 v2c-trap a\nnms 162 v3-trap p\n", "line 2: nms:162 is named twice"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    NotificationTargetList list;
    std::string error, seen;
    if (list.Parse(row.text, &error)) {
      for (const auto& t : list.Targets()) {
        seen += NotificationTargetList::Name(t) + " " + NotificationTargetList::KindName(t.kind) + ";";
      }
    } else {
      seen = error;
    }
    EXPECT_EQ(seen, row.targets);
  }
}

TEST(NotificationTargetFile, NamesParseBackAndTheFileIsOwnerOnly) {
  struct Row {
    const char* name;
    const char* host;  // null: refused
    int port;
  } rows[] = {
      {"nms.example.net:162", "nms.example.net", 162}, {"[2001:db8::5]:1162", "2001:db8::5", 1162},
      {"2001:db8::5:162", nullptr, 0},                  {"nms", nullptr, 0},
      {"nms:70000", nullptr, 0},                        {":162", nullptr, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string host, error;
    int port = 0;
    ASSERT_EQ(NotificationTargetList::ParseName(row.name, &host, &port, &error), row.host != nullptr) << error;
    if (row.host != nullptr) {
      EXPECT_EQ(host, row.host);
      EXPECT_EQ(port, row.port);
    }
  }

  test::TempDir dir;
  NotificationTargetList list;
  std::string error;
  NotificationTargetList::Target target{"10.0.0.5", 162, NotificationTargetList::Kind::kV2cInform, "secret-c"};
  ASSERT_TRUE(list.Put(target, &error));
  target.credential = "bad community";
  EXPECT_FALSE(list.Put(target, &error));
  ASSERT_TRUE(list.Save(dir.File("targets.ini"), &error)) << error;
  struct stat st {};
  ASSERT_EQ(::stat(dir.File("targets.ini").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  NotificationTargetList back;
  ASSERT_TRUE(back.Load(dir.File("targets.ini"), &error)) << error;
  ASSERT_EQ(back.Targets().size(), 1u);
  EXPECT_EQ(back.Targets()[0].credential, "secret-c");
}

// The engine file across starts: made once, boots counted, a bad file kept
// aside with a WARNING and a new ID.
TEST(EngineFile, StartsKeepTheIdCountBootsAndSetABadFileAside) {
  test::EventLogCapture log;
  test::TempDir dir;
  const std::string path = dir.File("snmpengine.ini");
  LocalEngine first, second, fresh;
  std::string error;
  ASSERT_TRUE(LocalEngine::Start(path, &first, &error)) << error;
  ASSERT_TRUE(LocalEngine::Start(path, &second, &error)) << error;
  EXPECT_EQ(first.boots, 1u);
  EXPECT_EQ(second.boots, 2u);
  EXPECT_EQ(second.HexId(), first.HexId());
  EXPECT_EQ(first.id.size(), 13u);
  EXPECT_EQ(dir.Read("snmpengine.ini"), "engineID " + first.HexId() + "\nengineBoots 2\n");

  dir.Write("snmpengine.ini", "engineID " + first.HexId() + "\nengineBoots 2147483647\n");
  ASSERT_TRUE(LocalEngine::Start(path, &second, &error)) << error;
  EXPECT_EQ(second.boots, 2147483647u) << "the boots stay at their largest value";

  dir.Write("snmpengine.ini", "engineID 0x80zz\nengineBoots 3\n");
  ASSERT_TRUE(LocalEngine::Start(path, &fresh, &error)) << error;
  EXPECT_NE(fresh.HexId(), first.HexId());
  EXPECT_EQ(fresh.boots, 1u);
  EXPECT_EQ(dir.Read("snmpengine.ini.bad"), "engineID 0x80zz\nengineBoots 3\n");
  EXPECT_EQ(log.Count("line 1 is not \"engineID 0x<hex>\""), 1);
}

}  // namespace
}  // namespace orla
