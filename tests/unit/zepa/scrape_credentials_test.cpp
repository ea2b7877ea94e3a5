// The credentials a scraper sends instead of a session: the metrics token
// and basic authentication, checked and removed before an extension sees
// the request.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/zepa/users/login_service.h"
#include "platform/zepa/users/password_hash.h"
#include "platform/zepa/users/scrape_credentials.h"
#include "platform/zepa/user_tokens.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

// "scraper:a-good-password", "scraper:wrong-password", "nobody:a-good-password".
const std::string kGood = "Basic c2NyYXBlcjphLWdvb2QtcGFzc3dvcmQ=";
const std::string kWrong = "Basic c2NyYXBlcjp3cm9uZy1wYXNzd29yZA==";

class ScrapeCredentialsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("users", "scraper:" + PasswordHash::Make("a-good-password") + ":\n");
    login_.Prepare();
    ASSERT_EQ(ScrapeCredentials::MakeToken(dir_.File("metrics-token"), &token_), 0);
  }

  struct Outcome {
    std::string type;
    std::string user;
    bool refused;
  };
  Outcome Offer(const std::vector<std::string>& authorization, const std::string& address = "127.0.0.1") {
    HttpTransport::Request request;
    request.remoteAddress = address;
    request.headers.emplace_back("Host", "localhost");
    for (const std::string& value : authorization) request.headers.emplace_back("Authorization", value);
    const uint64_t before = credentials_.Failures();
    credentials_.SortOut(request);
    EXPECT_FALSE(request.HasHeader("Authorization"));
    EXPECT_TRUE(request.HasHeader("Host"));
    return {request.authType, request.authUser, credentials_.Failures() > before};
  }

  test::EventLogCapture log_;
  test::TempDir dir_;
  LoginService login_{"KOR", dir_.File("users"), SessionTable::Settings{}};
  ScrapeCredentials credentials_{dir_.File("metrics-token"), dir_.File("user-tokens"), login_};
  std::string token_;
};

TEST_F(ScrapeCredentialsTest, AcceptsTheTokenAndUsersAndRefusesTheRest) {
  struct Case {
    std::vector<std::string> offered;
    const char* type;
    const char* user;
    bool refused;
  } cases[] = {
      {{}, "", "", false},
      {{"Bearer " + token_}, "Bearer", "", false},
      {{"bearer  " + token_ + " "}, "Bearer", "", false},
      {{"Bearer " + std::string(64, '0')}, "", "", true},
      {{"Bearer"}, "", "", true},
      {{kGood}, "Basic", "scraper", false},
      {{kGood}, "Basic", "scraper", false},  // remembered: no second slow check
      {{kWrong}, "", "", true},
      {{"Basic bm9ib2R5OmEtZ29vZC1wYXNzd29yZA=="}, "", "", true},  // unknown user
      {{"Basic bm8gY29sb24="}, "", "", true},                      // "no colon"
      {{"Basic !!!!"}, "", "", true},
      {{"Digest username=\"scraper\""}, "", "", true},
      {{"Bearer " + token_, kGood}, "", "", true},  // two headers: neither counts
  };
  for (const Case& c : cases) {
    const Outcome outcome = Offer(c.offered);
    const std::string what = c.offered.empty() ? "(none)" : c.offered.front();
    EXPECT_EQ(outcome.type, c.type) << what;
    EXPECT_EQ(outcome.user, c.user) << what;
    EXPECT_EQ(outcome.refused, c.refused) << what;
  }
}

TEST_F(ScrapeCredentialsTest, FollowsTheTokenFile) {
  const std::string old = token_;
  ASSERT_EQ(ScrapeCredentials::MakeToken(dir_.File("metrics-token"), &token_), 0);
  EXPECT_TRUE(Offer({"Bearer " + old}).refused);
  EXPECT_EQ(Offer({"Bearer " + token_}).type, "Bearer");
  // A token others may read is no secret.
  ASSERT_EQ(::chmod(dir_.File("metrics-token").c_str(), 0644), 0);
  ASSERT_EQ(ScrapeCredentials::MakeToken(dir_.File("metrics-token"), &token_), 0);
  ASSERT_EQ(::chmod(dir_.File("metrics-token").c_str(), 0644), 0);
  EXPECT_TRUE(Offer({"Bearer " + token_}).refused);
  // The mode counts at every use: a chmod alone mends it, or opens it again.
  const char* modes[] = {"0600", "0644", "0644", "0600"};
  for (const char* mode : modes) {
    ASSERT_EQ(::chmod(dir_.File("metrics-token").c_str(), std::strtol(mode, nullptr, 8)), 0);
    EXPECT_EQ(Offer({"Bearer " + token_}).refused, std::string(mode) == "0644") << mode;
  }
  EXPECT_EQ(log_.Count("may be read by others"), 2);  // once each time it became readable
  ASSERT_EQ(::unlink(dir_.File("metrics-token").c_str()), 0);
  EXPECT_TRUE(Offer({"Bearer " + token_}).refused);
}

TEST_F(ScrapeCredentialsTest, UserTokensStandForTheirUserWhileTheyAndTheUserLast) {
  UserTokens tokens(dir_.Path());
  std::string secret;
  UserTokens::Listed made;
  UserTokens::Refusal refusal;
  ASSERT_TRUE(tokens.Add("scraper", "ci", std::nullopt, &secret, &made, &refusal)) << refusal.text;
  HttpTransport::Request request;
  request.headers.emplace_back("Authorization", "Bearer " + secret);
  credentials_.SortOut(request);
  EXPECT_EQ(request.authType, "Bearer");
  EXPECT_EQ(request.authUser, "scraper");
  EXPECT_EQ(request.authTokenName, "ci");
  // The metrics token still stands for nobody.
  EXPECT_EQ(Offer({"Bearer " + token_}).user, "");
  // Revoked, or its user removed: refused and counted.
  const Outcome outcome = Offer({"Bearer " + secret});
  EXPECT_EQ(outcome.user, "scraper");
  dir_.Write("users", "other:" + PasswordHash::Make("a-good-password") + ":\n");
  EXPECT_TRUE(Offer({"Bearer " + secret}, "10.0.0.1").refused);
  dir_.Write("users", "scraper:" + PasswordHash::Make("a-good-password") + ":\n");
  EXPECT_FALSE(Offer({"Bearer " + secret}).refused);
  ASSERT_TRUE(tokens.Revoke("scraper", "ci", &made, &refusal)) << refusal.text;
  EXPECT_TRUE(Offer({"Bearer " + secret}, "10.0.0.2").refused);
  EXPECT_EQ(log_.Count("came with an unknown or revoked user token"), 1);
  EXPECT_EQ(log_.Count("a token of a user who is no longer there"), 1);
}

TEST_F(ScrapeCredentialsTest, FailedBasicLoginsBlockLikeTheLoginForm) {
  for (int i = 0; i < LoginThrottle::kMaxFailures; ++i) EXPECT_TRUE(Offer({kWrong}, "10.0.0.1").refused);
  // The account is blocked from that address now, even the right password;
  // from another address it is not.
  EXPECT_EQ(Offer({kGood}, "10.0.0.1").type, "");
  EXPECT_NE(Offer({kGood}, "10.0.0.9").type, "");
}

// The log-in throttle keys, step by step: an address guessing one account
// is refused that account, another address is not; an address guessing
// many accounts is refused them all.
TEST_F(ScrapeCredentialsTest, GuessesLockAnAccountOutFromTheGuessingAddressOnly) {
  using Check = LoginService::Check;
  struct Step {
    int times;
    const char* address;
    const char* name;
    const char* password;
    Check expected;
  };
  const Step steps[] = {
      {LoginThrottle::kMaxFailures, "10.0.0.1", "scraper", "wrong", Check::kWrong},
      {1, "10.0.0.1", "scraper", "a-good-password", Check::kAccountBlocked},
      {1, "10.0.0.2", "scraper", "a-good-password", Check::kOk},
      {LoginService::kAddressMaxFailures - 1, "10.0.0.3", "nobody", "wrong", Check::kWrong},  // four names, see below
      {1, "10.0.0.3", "scraper", "wrong", Check::kWrong},
      {1, "10.0.0.3", "scraper", "a-good-password", Check::kAddressBlocked},
      {1, "10.0.0.4", "scraper", "a-good-password", Check::kOk},
  };
  int n = 0;
  for (const Step& step : steps) {
    for (int i = 0; i < step.times; ++i, ++n) {
      // Spread over names, so the address's table and not the pair's blocks.
      const std::string name = std::string(step.name) == "nobody" ? "nobody" + std::to_string(i % 4) : step.name;
      std::optional<UserStore::User> user;
      EXPECT_EQ(login_.CheckPassword(step.address, name, step.password, &user), step.expected)
          << "step " << n << " from " << step.address << " as " << name;
    }
  }
}

TEST(ScrapeCredentialsBase64, DecodesOnlyWellFormedText) {
  const std::pair<const char*, const char*> cases[] = {{"dXNlcjpwYXNz", "user:pass"}, {"YQ==", "a"}, {"YQ=", nullptr},
      {"Y===", nullptr}, {"YQ=a", nullptr}, {"a=bc", nullptr}, {"ab$c", nullptr}};
  for (const auto& [text, decoded] : cases) {
    std::string out;
    EXPECT_EQ(ScrapeCredentials::DecodeBase64(text, &out), decoded != nullptr) << text;
    if (decoded) {
      EXPECT_EQ(out, decoded);
    }
  }
}

}  // namespace
}  // namespace orla
