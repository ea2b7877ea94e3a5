// The credentials a scraper sends instead of a session: the metrics token
// and basic authentication, checked and removed before an extension sees
// the request.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

#include "platform/zepa/users/login_service.h"
#include "platform/zepa/users/password_hash.h"
#include "platform/zepa/users/scrape_credentials.h"
#include "tests/support/event_log_capture.h"
#include "tests/support/temp_dir.h"

namespace orla {
namespace {

std::string Base64(const std::string& text) {
  static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  for (size_t i = 0; i < text.size(); i += 3) {
    uint32_t n = static_cast<uint8_t>(text[i]) << 16;
    if (i + 1 < text.size()) n |= static_cast<uint8_t>(text[i + 1]) << 8;
    if (i + 2 < text.size()) n |= static_cast<uint8_t>(text[i + 2]);
    out += alphabet[(n >> 18) & 63];
    out += alphabet[(n >> 12) & 63];
    out += i + 1 < text.size() ? alphabet[(n >> 6) & 63] : '=';
    out += i + 2 < text.size() ? alphabet[n & 63] : '=';
  }
  return out;
}

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
  const std::string good = "Basic " + Base64("scraper:a-good-password");
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
      {{good}, "Basic", "scraper", false},
      {{good}, "Basic", "scraper", false},  // remembered: no second slow check
      {{"Basic " + Base64("scraper:wrong-password")}, "", "", true},
      {{"Basic " + Base64("nobody:a-good-password")}, "", "", true},
      {{"Basic " + Base64("no colon")}, "", "", true},
      {{"Basic !!!!"}, "", "", true},
      {{"Digest username=\"scraper\""}, "", "", true},
      {{"Bearer " + token_, good}, "", "", true},  // two headers: neither counts
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
  ASSERT_EQ(::unlink(dir_.File("metrics-token").c_str()), 0);
  EXPECT_TRUE(Offer({"Bearer " + token_}).refused);
}

TEST_F(ScrapeCredentialsTest, FailedBasicLoginsBlockLikeTheLoginForm) {
  const std::string wrong = "Basic " + Base64("scraper:wrong-password");
  for (int i = 0; i < LoginThrottle::kMaxFailures; ++i) EXPECT_TRUE(Offer({wrong}, "10.0.0." + std::to_string(i)).refused);
  // The account is blocked now: even the right password is refused, from
  // any address.
  const std::string good = "Basic " + Base64("scraper:a-good-password");
  EXPECT_EQ(Offer({good}, "10.0.0.9").type, "");
}

TEST(ScrapeCredentialsBase64, DecodesOnlyWellFormedText) {
  std::string out;
  EXPECT_TRUE(ScrapeCredentials::DecodeBase64("dXNlcjpwYXNz", &out));
  EXPECT_EQ(out, "user:pass");
  EXPECT_TRUE(ScrapeCredentials::DecodeBase64("YQ==", &out));
  EXPECT_EQ(out, "a");
  for (const char* bad : {"YQ=", "Y===", "YQ=a", "a=bc", "ab$c"}) {
    EXPECT_FALSE(ScrapeCredentials::DecodeBase64(bad, &out)) << bad;
  }
}

}  // namespace
}  // namespace orla
