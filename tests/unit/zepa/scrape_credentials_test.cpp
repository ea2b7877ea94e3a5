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
  ScrapeCredentials credentials_{dir_.File("metrics-token"), login_};
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

TEST_F(ScrapeCredentialsTest, FailedBasicLoginsBlockLikeTheLoginForm) {
  for (int i = 0; i < LoginThrottle::kMaxFailures; ++i) EXPECT_TRUE(Offer({kWrong}, "10.0.0." + std::to_string(i)).refused);
  // The account is blocked now: even the right password is refused, from any address.
  EXPECT_EQ(Offer({kGood}, "10.0.0.9").type, "");
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
