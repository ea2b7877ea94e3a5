// The rules of user management shared by korusers, the users page and the
// API: names, passwords, levels and the last administrator.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/zepa/users/user_administration.h"
#include "platform/zepa/users/user_store.h"
#include "tests/support/temp_dir.h"

using namespace orla;

namespace {

using Outcome = UserAdministration::Outcome;
using Level = UserAdministration::Level;

// One administrator (through "*"), an operator, a reader, a user without
// the right and one whose only right is the wildcard's reading.
constexpr const char* kUsers =
    "admin:$y$a:*=0x7fffffff\nops:$y$o:KORAccess=4\nreader:$y$r:KORAccess=1\nnone:$y$n:Other=2\nwild:$y$w:*=1\n";
constexpr const char* kLevels = "admin=administrator ops=operator reader=reader none=none wild=reader";

std::string Levels(UserAdministration& administration) {
  std::string text;
  for (const UserAdministration::Entry& entry : administration.List()) {
    text += (text.empty() ? "" : " ") + entry.name + "=" + UserAdministration::LevelName(entry.level);
  }
  return text;
}

bool RightPassword(const std::string&, const std::string& password) { return password == "the-current-one"; }

struct Case {
  const char* what;
  std::function<Outcome(UserAdministration&)> act;
  int status;
  const char* field;
  const char* text;
  const char* levelsAfter;  // null: as before
};

const Case kCases[] = {
    {"the last administrator is not removed", [](auto& a) { return a.Remove("admin"); }, 409, "level",
     "admin is the last administrator: make another user administrator first", nullptr},
    {"nor lowered", [](auto& a) { return a.SetLevel("admin", Level::kOperator); }, 409, "level",
     "admin is the last administrator: make another user administrator first", nullptr},
    {"nor lowered through its rights", [](auto& a) { return a.SetRights("admin", {{"KORAccess", 1}}); }, 409,
     "level", "admin is the last administrator: make another user administrator first", nullptr},
    {"once another administrator exists it may go",
     [](auto& a) {
       a.SetLevel("ops", Level::kAdministrator);
       return a.Remove("admin");
     },
     200, "", "removed the user admin", "ops=administrator reader=reader none=none wild=reader"},
    {"a level is the right's own entry", [](auto& a) { return a.SetLevel("reader", Level::kOperator); }, 200, "",
     "set the level of reader to operator", "admin=administrator ops=operator reader=operator none=none wild=reader"},
    {"none overrides a wildcard", [](auto& a) { return a.SetLevel("wild", Level::kNone); }, 200, "",
     "set the level of wild to none", "admin=administrator ops=operator reader=reader none=none wild=none"},
    {"an unknown user", [](auto& a) { return a.SetLevel("nobody", Level::kReader); }, 404, "name",
     "there is no user nobody", nullptr},
    {"removing an unknown user", [](auto& a) { return a.Remove("nobody"); }, 404, "name", "there is no user nobody",
     nullptr},
    {"a name with a space", [](auto& a) { return a.Add("bad name", "long-enough", Level::kReader); }, 400, "name",
     "\"bad name\" is not a valid user name (A-Z a-z 0-9 . _ -)", nullptr},
    {"a name starting with a dash", [](auto& a) { return a.Add("-x", "long-enough", Level::kReader); }, 400, "name",
     "\"-x\" is not a valid user name (A-Z a-z 0-9 . _ -)", nullptr},
    {"a name in use", [](auto& a) { return a.Add("ops", "long-enough", Level::kReader); }, 409, "name",
     "the user ops exists already", nullptr},
    {"a short password", [](auto& a) { return a.Add("new", "short", Level::kReader); }, 400, "password",
     "a password needs at least 8 characters", nullptr},
    {"a password with a line break", [](auto& a) { return a.Add("new", "long\nenough", Level::kReader); }, 400,
     "password", "a password cannot hold line breaks or zero bytes", nullptr},
    {"a long password", [](auto& a) { return a.Add("new", std::string(257, 'x'), Level::kReader); }, 400,
     "password", "a password may have at most 256 characters", nullptr},
    {"a good new operator", [](auto& a) { return a.Add("new", "long-enough", Level::kOperator); }, 201, "",
     "added the user new", "admin=administrator ops=operator reader=reader none=none wild=reader new=operator"},
    {"the own password needs the current one",
     [](auto& a) { return a.ChangeOwnPassword("ops", "a-wrong-one", "long-enough", &RightPassword); }, 403,
     "currentPassword", "the current password is wrong", nullptr},
    {"and a good new one",
     [](auto& a) { return a.ChangeOwnPassword("ops", "the-current-one", "short", &RightPassword); }, 400,
     "password", "a password needs at least 8 characters", nullptr},
    {"ending an unknown user's sessions", [](auto& a) { return a.EndSessions("nobody", nullptr); }, 404, "name",
     "there is no user nobody", nullptr},
    {"ending sessions counts them", [](auto& a) { return a.EndSessions("ops", [](auto&) { return size_t{2}; }); },
     200, "", "ended 2 sessions of ops", nullptr},
};

}  // namespace

TEST(UserAdministration, AppliesTheRulesOfUserManagement) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    test::TempDir dir;
    dir.Write("users", kUsers);
    UserStore store(dir.File("users"));
    UserAdministration administration(store, "KORAccess");
    const std::string before = dir.Read("users");
    const Outcome outcome = c.act(administration);
    EXPECT_EQ(outcome.status, c.status);
    EXPECT_EQ(outcome.field, c.field);
    EXPECT_EQ(outcome.text, c.text);
    EXPECT_EQ(Levels(administration), c.levelsAfter != nullptr ? c.levelsAfter : kLevels);
    // A refusal leaves the file as it was, byte for byte.
    if (!outcome.Ok()) {
      EXPECT_EQ(dir.Read("users"), before);
    }
  }
}

TEST(UserAdministration, NamesLevelsAndMasks) {
  const std::pair<uint32_t, const char*> masks[] = {
      {0, "none"}, {1, "reader"}, {8, "reader"}, {4, "operator"}, {5, "operator"}, {2, "administrator"},
      {6, "administrator"}, {0x7fffffff, "administrator"}};
  for (const auto& [mask, name] : masks) {
    EXPECT_STREQ(UserAdministration::LevelName(UserAdministration::LevelOfMask(mask)), name) << mask;
    Level level;
    ASSERT_TRUE(UserAdministration::ParseLevel(name, &level));
    EXPECT_EQ(UserAdministration::LevelOfMask(UserAdministration::MaskOf(level)), level);
  }
  Level level;
  EXPECT_FALSE(UserAdministration::ParseLevel("Administrator", &level));
  EXPECT_EQ(UserAdministration::LevelProblem("root"),
            "\"root\" is not a level (administrator, operator, reader or none)");
  EXPECT_EQ(UserAdministration::Sentence("there is no user ops"), "There is no user ops.");
}
