// The users' tokens: their file, their rules (UserTokens) and the users
// tool's "token add|list|revoke".
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <sstream>

#include "platform/zepa/user_tokens.h"
#include "platform/zepa/users/token_digest.h"
#include "platform/zepa/users/user_token_store.h"
#include "platform/zepa/users_command.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

struct ToolRun {
  int code;
  std::string out;
  std::string err;
};

ToolRun Tool(const std::string& dir, std::vector<std::string> args) {
  args.insert(args.begin(), {"-d", dir});
  std::ostringstream out, err;
  const int code = UsersCommand::Run(
      args, UsersCommand::DefaultDataDirectory{}, [](const std::string&, std::string*) { return false; }, out, err);
  return {code, out.str(), err.str()};
}

TEST(UserTokens, TheToolMakesListsAndRevokesTokensWithOneSetOfRules) {
  test::TempDir dir;
  const std::string d = dir.Path();
  dir.Write("users", "admin:$y$x:KORAccess=2\nreader:$y$y:KORAccess=1\n");
  struct Row {
    std::vector<std::string> args;
    int code;
    const char* err;  // a part of the error output; "" for none
  } rows[] = {
      {{"token", "add", "admin", "--name", "deploy", "--expires", "30"}, 0, "made the token deploy of admin"},
      {{"token", "add", "reader", "--name", "deploy"}, 0, ""},  // names are unique per user only
      {{"token", "add", "admin", "--name", "deploy"}, 2, "The user admin already has a token called deploy."},
      {{"token", "add", "nobody", "--name", "x"}, 2, "There is no user nobody."},
      {{"token", "add", "admin", "--name", "bad:name"}, 1, UserTokens::kBadName},
      {{"token", "add", "admin", "--name", std::string(65, 'n')}, 1, UserTokens::kBadName},
      {{"token", "add", "admin", "--name", "x", "--expires", "0"}, 1, UserTokens::kBadExpiry},
      {{"token", "add", "admin", "--name", "x", "--expires", "3651"}, 1, UserTokens::kBadExpiry},
      {{"token", "add", "admin", "--name", "x", "--expires", "1.5"}, 1, UserTokens::kBadExpiry},
      {{"token", "add", "admin", "--name"}, 1, "Usage"},
      {{"token", "add", "admin"}, 1, "Usage"},
      {{"token", "revoke", "admin", "nothing"}, 2, "The user admin has no token called nothing."},
      {{"token", "revoke", "admin"}, 1, "Usage"},
  };
  for (const Row& row : rows) {
    const ToolRun run = Tool(d, row.args);
    EXPECT_EQ(run.code, row.code) << row.args[3] << " " << run.err;
    EXPECT_NE(run.err.find(row.err), std::string::npos) << run.err;
  }
  // The two tokens made, listed without secrets; the file is owner-only.
  const std::string listed = Tool(d, {"token", "list"}).out;
  EXPECT_NE(listed.find("admin\tdeploy\t"), std::string::npos) << listed;
  EXPECT_NE(listed.find("reader\tdeploy\t"), std::string::npos) << listed;
  EXPECT_NE(listed.find("expires never"), std::string::npos) << listed;
  EXPECT_EQ(Tool(d, {"token", "list", "reader"}).out.find("admin"), std::string::npos);
  struct stat st{};
  ASSERT_EQ(::stat(dir.File("user-tokens").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  // A secret is printed once and found in no file.
  const ToolRun made = Tool(d, {"token", "add", "admin", "--name", "ci"});
  ASSERT_EQ(made.code, 0) << made.err;
  const std::string secret = made.out.substr(0, made.out.size() - 1);
  EXPECT_EQ(secret.rfind("kor_", 0), 0u);
  EXPECT_EQ(secret.size(), 4u + 12 + 1 + 64);
  EXPECT_EQ(dir.Read("user-tokens").find(secret.substr(17)), std::string::npos);
  EXPECT_NE(dir.Read("user-tokens").find(TokenDigest::Sha256Hex(secret.substr(17))), std::string::npos);
  EXPECT_EQ(Tool(d, {"token", "list"}).out.find(secret.substr(17)), std::string::npos);

  EXPECT_EQ(Tool(d, {"token", "revoke", "admin", "deploy"}).code, 0);
  EXPECT_EQ(Tool(d, {"token", "list", "admin"}).out.find("deploy"), std::string::npos);
  // Removing a user revokes the user's tokens.
  EXPECT_EQ(Tool(d, {"remove", "admin"}).code, 0);
  EXPECT_EQ(Tool(d, {"token", "list"}).out.find("admin"), std::string::npos);
  EXPECT_NE(Tool(d, {"token", "list"}).out.find("reader"), std::string::npos);
}

TEST(UserTokenStore, ChecksTheSecretByIdDigestAndExpiry) {
  test::TempDir dir;
  dir.Write("users", "admin:$y$x:KORAccess=2\n");
  UserTokens tokens(dir.Path());
  std::string forever, monthly;
  UserTokens::Listed made;
  UserTokens::Refusal refusal;
  ASSERT_TRUE(tokens.Add("admin", "forever", std::nullopt, &forever, &made, &refusal)) << refusal.text;
  ASSERT_TRUE(tokens.Add("admin", "monthly", 30, &monthly, &made, &refusal)) << refusal.text;
  EXPECT_EQ(made.expires - made.created, 30 * 86400);
  std::string tampered = forever;
  tampered.back() = tampered.back() == '0' ? '1' : '0';
  std::string otherId = forever;
  otherId[4] = otherId[4] == '0' ? '1' : '0';

  UserTokenStore store(dir.File("user-tokens"));
  using V = UserTokenStore::Verdict;
  struct Row {
    std::string secret;
    int64_t now;
    V verdict;
  } rows[] = {
      {forever, made.created + 100LL * 365 * 86400, V::kValid},
      {monthly, made.expires - 1, V::kValid},
      {monthly, made.expires, V::kExpired},
      {tampered, made.created, V::kUnknown},
      {otherId, made.created, V::kUnknown},
      {forever.substr(0, forever.size() - 1), made.created, V::kUnknown},
      {"kor_", made.created, V::kUnknown},
      {std::string(64, 'a'), made.created, V::kUnknown},
  };
  for (const Row& row : rows) {
    UserTokenStore::Token token;
    EXPECT_EQ(store.Check(row.secret, row.now, &token), row.verdict) << row.secret;
  }

  // A revocation rewrites the file as a whole (a new file renamed over the
  // old, nothing left beside it); the store rereads it at once.
  struct stat before{}, after{};
  ASSERT_EQ(::stat(dir.File("user-tokens").c_str(), &before), 0);
  ASSERT_TRUE(tokens.Revoke("admin", "forever", &made, &refusal)) << refusal.text;
  ASSERT_EQ(::stat(dir.File("user-tokens").c_str(), &after), 0);
  EXPECT_NE(before.st_ino, after.st_ino);
  UserTokenStore::Token token;
  EXPECT_EQ(store.Check(forever, made.created, &token), V::kUnknown);
  EXPECT_EQ(store.Check(monthly, made.created, &token), V::kValid);
  EXPECT_EQ(token.name, "monthly");
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) files += entry.is_regular_file();
  EXPECT_EQ(files, 3u);  // users, user-tokens, user-tokens.lock

  // Bad lines are skipped, each named.
  std::vector<std::string> problems;
  const auto parsed = UserTokenStore::Parse(
      dir.Read("user-tokens") + "short:line\nabcdefabcdef:admin:monthly:1:0:" + std::string(64, 'a') + "\n", &problems);
  EXPECT_EQ(parsed.size(), 1u);
  EXPECT_EQ(problems.size(), 2u);
}

}  // namespace
}  // namespace orla
