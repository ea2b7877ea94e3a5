#pragma once
// Logging in and out of one server and the sessions that follow: the login
// form's check (throttled per address and per address and account, a few slow password verifications at
// a time), the session cookie ("__Host-" prefixed, Secure, HttpOnly,
// SameSite=Strict), the session a request's cookie names (checked against
// the users file on every use: a removed user or a changed password ends
// it), and the rights mask the rights query answers.
#include <cstdint>
#include <optional>
#include <semaphore>
#include <string>

#include "platform/eventlog/repeated_warnings.h"
#include "../transport/http_transport.h"
#include "login_throttle.h"
#include "session_table.h"
#include "user_store.h"

namespace orla {

class LoginService {
 public:
  // The "__Host-" prefix makes browsers accept the cookie only when it is
  // Secure, for Path=/ and without Domain: no other host can set it.
  static constexpr const char* kCookieName = "__Host-ZEPASESSION";
  // Password verifications under way at once, and how long one waits for
  // its turn before the login is answered 503.
  static constexpr int kMaxVerifications = 4;
  static constexpr int kVerificationWaitSeconds = 10;

  // Sessions and throttles run on `clock` (the system's when null).
  LoginService(std::string serverName, const std::string& usersFile, const SessionTable::Settings& sessions,
               Clock* clock = nullptr);

  UserStore& Users() { return users_; }
  Clock& Time() { return clock_; }
  // Sessions in the table (the expired among them go at their next use).
  size_t OpenSessions() const { return sessions_.Count(); }
  // Ends every session of `user` (an administrator's request); returns how
  // many ended.
  size_t EndSessions(const std::string& user) { return sessions_.RemoveUser(user); }
  // Before the first login: makes the hash an unknown user's login is
  // checked against, so that it takes as long as a wrong password.
  void Prepare();

  // The session the request's cookie names, when it is still valid.
  std::optional<SessionTable::Session> SessionOf(const HttpTransport::Request& request);
  // The rights query: 0x80000000 without a valid session, else the user's
  // mask for `right`.
  uint32_t RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right);
  // A user's mask for `right` (basic credentials); 0x80000000 without such a user.
  uint32_t UserRights(const std::string& user, const std::string& right);

  // A user's name and password as the login form and basic authentication
  // check them: throttled per address and account (kAccountBlocked: 5
  // failures for that account from that address) and per address
  // (kAddressBlocked: kAddressMaxFailures for any accounts), never per
  // account alone, so guesses from one address cannot lock an account out
  // for everyone; a few slow verifications at a time (kBusy when none frees
  // up in time), an unknown user as slow as a wrong password. kOk sets
  // *user.
  static constexpr int kAddressMaxFailures = 20;
  enum class Check { kOk, kWrong, kAddressBlocked, kAccountBlocked, kBusy };
  Check CheckPassword(const std::string& address, const std::string& name, const std::string& password,
                      std::optional<UserStore::User>* user);

  void HandleLogin(const HttpTransport::Request& request, HttpTransport::Response& response);
  void HandleLogout(const HttpTransport::Request& request, HttpTransport::Response& response);

 private:
  std::string SessionCookie(const std::string& token, long maxAgeSeconds) const;

  std::string serverName_;
  Clock& clock_;
  UserStore users_;
  SessionTable sessions_;
  LoginThrottle byAddress_{LoginThrottle::kMaxEntries, kAddressMaxFailures};
  LoginThrottle byAddressAndAccount_;
  std::counting_semaphore<kMaxVerifications> verifications_{kMaxVerifications};
  std::string dummyHash_;
  // A failed log-in is a WARNING: a few a minute for each address, then a
  // summary.
  RepeatedWarnings failedLogins_;
};

}  // namespace orla
