#pragma once
// Credentials a program (a metrics scraper, a script) sends with each
// request instead of logging in: the server's bearer token, a user's token
// (UserTokenStore, also sent as a bearer token), or a user's name and
// password by HTTP basic authentication. The token lives in the data directory, in
// "metrics-token" (one line of 64 hex digits, owner-only); the users tool
// makes, shows and replaces it, and the server rereads it when it changes
// and looks at its mode on every use.
//
// SortOut runs for every request to an extension: it removes every
// "Authorization" header (no extension ever sees a password) and, when one
// of them held valid credentials, records them on the request (authType
// "Bearer" or "Basic", authUser the user's name, for a user token also
// authTokenName the token's name; the metrics token has neither). The
// extension reads them as the AUTH_TYPE, REMOTE_USER and AUTH_TOKEN_NAME
// server variables and decides what they allow. A user token is valid while
// it is in the tokens file, has not expired and its user is in the users
// file. Invalid credentials are counted as failed logins
// and logged (a few lines a minute for each address, then a summary, see
// RepeatedWarnings); basic authentication is checked like the login form's
// (LoginService::CheckPassword: the same throttles per address and per
// account count both), and a verified password is remembered for a few
// minutes (in memory, for as long as the user's stored hash is unchanged),
// so that a scraper does not pay a slow password verification every scrape.
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/eventlog/repeated_warnings.h"
#include "../transport/http_transport.h"
#include "login_service.h"
#include "user_store.h"
#include "user_token_store.h"

namespace orla {

class ScrapeCredentials {
 public:
  static constexpr const char* kTokenFileName = "metrics-token";
  static constexpr std::chrono::seconds kRememberFor{5 * 60};
  static constexpr size_t kMaxRemembered = 64;

  // `tokenPath`: the metrics token's file; `userTokensPath`: the user
  // tokens file.
  ScrapeCredentials(std::string tokenPath, const std::string& userTokensPath, LoginService& login);

  // Writes a new random token to `path` (owner-only, atomically); 0 or an
  // errno value.
  static int MakeToken(const std::string& path, std::string* token);
  // The token in `path`; false when there is none (missing file, or not one
  // line of 64 hex digits).
  static bool ReadToken(const std::string& path, std::string* token);

  void SortOut(HttpTransport::Request& request);

  // Requests whose credentials were refused.
  uint64_t Failures() const { return failures_.load(std::memory_order_relaxed); }

  // `text` decoded from base64; false when it is not base64.
  static bool DecodeBase64(const std::string& text, std::string* out);

 private:
  bool TokenMatches(const std::string& token);
  bool UserTokenMatches(HttpTransport::Request& request, const std::string& secret);
  bool BasicMatches(const HttpTransport::Request& request, const std::string& credentials, std::string* user);
  void Refuse(const HttpTransport::Request& request, const std::string& what);

  struct Remembered {
    std::string hash;
    std::string password;
    Clock::SteadyTime until;
  };

  std::string tokenPath_;
  LoginService& login_;
  UserTokenStore userTokens_;
  std::atomic<uint64_t> failures_{0};
  RepeatedWarnings refused_;

  std::mutex mutex_;
  std::string token_;
  ino_t tokenInode_ = 0;
  int64_t tokenMtimeNs_ = -1;
  bool openWarned_ = false;
  std::map<std::string, Remembered> remembered_;
};

}  // namespace orla
