// The users file and the users tool.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "agent/core/agent_layout.h"
#include "platform/zepa/users/password_hash.h"
#include "platform/zepa/users/user_store.h"
#include "platform/zepa/users_command.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

using namespace orla;

namespace {

// Adds a user through an edit of the store; the edit's result.
int AddUser(UserStore& store, const std::string& name, const std::string& hash = "$y$1",
            std::map<std::string, uint32_t> rights = {}) {
  std::string error;
  const int result = store.Edit([&](std::vector<UserStore::User>& users, std::string*) {
    users.push_back({name, hash, rights});
    return true;
  }, &error);
  EXPECT_EQ(result, 0) << error;
  return result;
}

}  // namespace

TEST(UserStore, ParsesFormatsAndSkipsBadLines) {
  std::vector<std::string> problems;
  const auto users = UserStore::Parse(
      "# comment\n\nadministrator:$y$abc:*=0x7fffffff\r\noperator:$y$def:KORAccess=1,Other=0x10\n"
      "bad name:$y$x:\nnocolons\noperator:$y$again:\nviewer:$y$v:KORAccess=0x80000000,KORAccess2=2\n",
      &problems);
  ASSERT_EQ(users.size(), 3u);
  EXPECT_EQ(users[0].name, "administrator");
  EXPECT_EQ(users[0].rights.at("*"), 0x7fffffffu);
  EXPECT_EQ(users[1].rights.at("KORAccess"), 1u);
  EXPECT_EQ(users[1].rights.at("Other"), 0x10u);
  // The reserved top bit is refused; the other rights of the line stay.
  EXPECT_EQ(users[2].rights.count("KORAccess"), 0u);
  EXPECT_EQ(users[2].rights.at("KORAccess2"), 2u);
  EXPECT_EQ(problems.size(), 4u);
  EXPECT_EQ(UserStore::Parse(UserStore::Format(users), nullptr).size(), 3u);
  EXPECT_EQ(UserStore::Format({users[1]}).substr(UserStore::Format({}).size()),
            "operator:$y$def:KORAccess=0x00000001,Other=0x00000010\n");
}

TEST(UserStore, MaskComesFromTheRightOrTheWildcard) {
  UserStore::User user{"u", "h", {{"KORAccess", 2}, {"*", 1}}};
  EXPECT_EQ(UserStore::MaskFor(user, "KORAccess"), 2u);
  EXPECT_EQ(UserStore::MaskFor(user, "Other"), 1u);
  user.rights.erase("*");
  EXPECT_EQ(UserStore::MaskFor(user, "Other"), 0u);
  std::string name;
  uint32_t mask = 0;
  EXPECT_TRUE(UserStore::ParseRight("KORAccess=0x2", &name, &mask));
  EXPECT_EQ(mask, 2u);
  EXPECT_TRUE(UserStore::ParseRight("*=10", &name, &mask));
  EXPECT_EQ(mask, 10u);
  for (const char* bad : {"KORAccess", "KORAccess=", "KORAccess=-1", "KORAccess=2x", "Bad:Name=1", "=1",
                          "KORAccess=2147483648"}) {
    EXPECT_FALSE(UserStore::ParseRight(bad, &name, &mask)) << bad;
  }
  EXPECT_FALSE(UserStore::IsValidName("-rf"));
  EXPECT_FALSE(UserStore::IsValidName("a:b"));
  EXPECT_FALSE(UserStore::IsValidName(std::string(65, 'a')));
  EXPECT_TRUE(UserStore::IsValidName("john.doe_2-x"));
}

TEST(UserStore, EditsAreOwnerOnlyAndSeenByAReader) {
  test::TempDir dir;
  UserStore writer(dir.File("users"));
  UserStore reader(dir.File("users"));
  EXPECT_FALSE(reader.Exists());
  EXPECT_FALSE(reader.Find("a"));
  ASSERT_EQ(AddUser(writer, "a", "$y$1", {{"KORAccess", 2}}), 0);
  std::string error;
  struct stat st;
  ASSERT_EQ(stat(dir.File("users").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  ASSERT_TRUE(reader.Find("a"));
  EXPECT_EQ(reader.Find("a")->hash, "$y$1");
  ASSERT_EQ(writer.Edit([](std::vector<UserStore::User>& users, std::string*) {
    users[0].hash = "$y$2";
    return true;
  }, &error), 0);
  EXPECT_EQ(reader.Find("a")->hash, "$y$2");  // reread after the change
  // A refused change leaves the file alone and says why.
  EXPECT_NE(writer.Edit([](std::vector<UserStore::User>&, std::string* e) {
    *e = "no";
    return false;
  }, &error), 0);
  EXPECT_EQ(error, "no");
  EXPECT_EQ(writer.Edit([](std::vector<UserStore::User>&, std::string*) { return false; }, &error), 0);
  EXPECT_EQ(reader.All().size(), 1u);
}

TEST(UserStore, ARewriteKeepsTheFilesOwnerAndMode) {
  test::TempDir dir;
  UserStore store(dir.File("users"));
  ASSERT_EQ(AddUser(store, "a"), 0);
  ASSERT_EQ(chmod(dir.File("users").c_str(), 0640), 0);
  // Giving a file away takes privilege: as root, the owner is checked too.
  const bool root = geteuid() == 0;
  if (root) {
    ASSERT_EQ(chown(dir.File("users").c_str(), 4321, 4322), 0);
  }
  ASSERT_EQ(AddUser(store, "b"), 0);
  struct stat st;
  ASSERT_EQ(stat(dir.File("users").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  if (root) {
    EXPECT_EQ(st.st_uid, 4321u);
    EXPECT_EQ(st.st_gid, 4322u);
  }
  EXPECT_EQ(store.All().size(), 2u);
}

TEST(UserStore, AFileThatCannotBeReadMeansNoUsers) {
  test::EventLogCapture log;
  test::TempDir dir;
  UserStore store(dir.File("users"));
  ASSERT_EQ(AddUser(store, "a"), 0);
  ASSERT_TRUE(store.Find("a"));
  // Something that exists but reads as no file at all (a folder; file modes
  // do not stop root).
  std::filesystem::remove(dir.File("users"));
  std::filesystem::create_directory(dir.File("users"));
  EXPECT_FALSE(store.Find("a"));
  EXPECT_TRUE(store.All().empty());
  EXPECT_EQ(log.Count("cannot read its users file"), 1);  // once, not at every request
  // Readable again: the users are back.
  std::filesystem::remove(dir.File("users"));
  ASSERT_EQ(AddUser(store, "b", "$y$2"), 0);
  EXPECT_TRUE(store.Find("b"));
}

TEST(PasswordHash, SaltedYescryptHashesVerify) {
  const std::string a = PasswordHash::Make("correct horse");
  const std::string b = PasswordHash::Make("correct horse");
  ASSERT_EQ(a.rfind("$y$", 0), 0u) << a;
  EXPECT_NE(a, b);  // a fresh salt each time
  EXPECT_TRUE(PasswordHash::Verify("correct horse", a));
  EXPECT_TRUE(PasswordHash::Verify("correct horse", b));
  EXPECT_FALSE(PasswordHash::Verify("correct horsE", a));
  EXPECT_FALSE(PasswordHash::Verify("", a));
  EXPECT_FALSE(PasswordHash::Verify("x", ""));
  EXPECT_FALSE(PasswordHash::Verify("x", "plaintext"));
  EXPECT_TRUE(PasswordHash::Make(std::string("a\0b", 3)).empty());
  const std::string random = PasswordHash::RandomPassword(20);
  EXPECT_EQ(random.size(), 20u);
  EXPECT_EQ(random.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            std::string::npos);
  EXPECT_NE(random, PasswordHash::RandomPassword(20));
  EXPECT_EQ(PasswordHash::RandomHex(32).size(), 64u);
}

namespace {
struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

// The default data directory as korusers finds it: that of the agent whose
// program directory is `programDir`.
UsersCommand::DefaultDataDirectory AgentDataDirectory(const std::string& programDir) {
  return {[programDir](std::string* directory, std::string* error) {
            AgentLayout layout;
            if (!AgentLayout::Read(programDir, &layout, error)) return false;
            *directory = layout.WebDataDirectory();
            return true;
          },
          ""};
}

ToolRun Tool(const std::vector<std::string>& args, const std::string& programDir = "/nonexistent",
             const std::string& password = "a-good-password") {
  std::ostringstream out, err;
  const int code = UsersCommand::Run(
      args, AgentDataDirectory(programDir),
      [&](const std::string&, std::string* p) {
        *p = password;
        return !password.empty();
      },
      out, err);
  return {code, out.str(), err.str()};
}
}  // namespace

TEST(UsersCommand, AddsListsChangesAndRemovesUsers) {
  test::TempDir dir;
  const std::string d = dir.Path();
  EXPECT_EQ(Tool({"-d", d, "add", "operator", "KORAccess=1", "Other=0x20"}).code, 0);
  EXPECT_EQ(Tool({"-d", d, "add", "operator"}).code, 2);  // exists already
  const ToolRun list = Tool({"-d", d, "list"});
  EXPECT_EQ(list.out, "operator\tKORAccess=0x00000001,Other=0x00000020\n");
  EXPECT_EQ(Tool({"-d", d, "rights", "operator", "KORAccess=3", "Other=0"}).code, 0);
  EXPECT_EQ(Tool({"-d", d, "list"}).out, "operator\tKORAccess=0x00000003\n");
  // The only administrator (bit 2) is neither lowered nor removed; with a
  // second one it may be.
  EXPECT_EQ(Tool({"-d", d, "level", "operator", "reader"}).code, 2);
  EXPECT_EQ(Tool({"-d", d, "remove", "operator"}).code, 2);
  EXPECT_EQ(Tool({"-d", d, "level", "operator", "root"}).code, 1);
  EXPECT_EQ(Tool({"-d", d, "add", "second", "KORAccess=2"}).code, 0);
  EXPECT_EQ(Tool({"-d", d, "level", "operator", "operator"}).code, 0);
  EXPECT_EQ(Tool({"-d", d, "list"}).out, "operator\tKORAccess=0x00000004\nsecond\tKORAccess=0x00000002\n");

  UserStore store(d + "/users");
  const std::string before = store.Find("operator")->hash;
  EXPECT_TRUE(PasswordHash::Verify("a-good-password", before));
  EXPECT_EQ(Tool({"-d", d, "password", "operator"}, "/nonexistent", "another-password").code, 0);
  EXPECT_TRUE(PasswordHash::Verify("another-password", store.Find("operator")->hash));

  EXPECT_EQ(Tool({"-d", d, "remove", "operator"}).code, 0);
  EXPECT_EQ(Tool({"-d", d, "remove", "operator"}).code, 2);
  EXPECT_EQ(Tool({"-d", d, "list"}).out, "second\tKORAccess=0x00000002\n");
}

TEST(UsersCommand, RefusesBadInput) {
  test::TempDir dir;
  const std::string d = dir.Path();
  EXPECT_EQ(Tool({"-d", d, "add", "bad:name"}).code, 1);
  EXPECT_EQ(Tool({"-d", d, "add", "ok", "KORAccess"}).code, 1);
  EXPECT_EQ(Tool({"-d", d, "add", "ok", "KORAccess=0x80000000"}).code, 1);
  EXPECT_EQ(Tool({"-d", d, "add", "ok"}, "/nonexistent", "short").code, 2);
  EXPECT_EQ(Tool({"-d", d, "add", "ok"}, "/nonexistent", "").code, 2);
  EXPECT_EQ(Tool({"-d", d, "password", "nobody"}).code, 2);
  EXPECT_EQ(Tool({"-d", d, "frobnicate", "x"}).code, 1);
  EXPECT_EQ(Tool({"--bogus"}).code, 1);
  EXPECT_EQ(Tool({}).code, 1);
  EXPECT_EQ(Tool({"--help"}).code, 0);
  // Without -d and without KORAgent.cfg the tool says what it needs.
  const ToolRun noConfig = Tool({"list"});
  EXPECT_EQ(noConfig.code, 1);
  EXPECT_NE(noConfig.err.find("-d"), std::string::npos);
}

TEST(UsersCommand, FindsTheDataDirectoryFromTheAgentConfiguration) {
  test::TempDir dir;
  dir.Write("KORAgent.cfg", "ORLA\n" + dir.Path() + "/KOR\r\nx\nlabel\n.1.3.6\n");
  AgentLayout layout;
  std::string error;
  ASSERT_TRUE(AgentLayout::Read(dir.Path(), &layout, &error)) << error;
  EXPECT_EQ(layout.WebDataDirectory(), dir.Path() + "/KORZEPD");
  ASSERT_EQ(::mkdir((dir.Path() + "/KORZEPD").c_str(), 0700), 0);
  EXPECT_EQ(Tool({"add", "administrator", "*=0x7fffffff"}, dir.Path()).code, 0);
  // A new administrator password makes the first-start password file go.
  dir.Write("KORZEPD/administrator-password.txt", "old\n");
  const ToolRun changed = Tool({"password", "administrator"}, dir.Path());
  EXPECT_EQ(changed.code, 0);
  EXPECT_FALSE(dir.Exists("KORZEPD/administrator-password.txt"));
}

TEST(UsersCommand, ShowsAndReplacesTheMetricsToken) {
  test::TempDir dir;
  const std::string d = dir.Path() + "/data";  // made by the tool
  const ToolRun made = Tool({"-d", d, "token"});
  ASSERT_EQ(made.code, 0) << made.err;
  ASSERT_EQ(made.out.size(), 65u);  // 64 hex digits and a line break
  struct stat st{};
  ASSERT_EQ(::stat((d + "/metrics-token").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(Tool({"-d", d, "token"}).out, made.out);  // shown again, unchanged
  const ToolRun replaced = Tool({"-d", d, "token", "new"});
  EXPECT_EQ(replaced.code, 0);
  EXPECT_NE(replaced.out, made.out);
  EXPECT_EQ(Tool({"-d", d, "token"}).out, replaced.out);
  EXPECT_EQ(Tool({"-d", d, "token", "old"}).code, 1);
}
