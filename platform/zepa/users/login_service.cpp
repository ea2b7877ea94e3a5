#include "login_service.h"

#include <chrono>

#include "platform/text/string_printf.h"
#include "../library_pages.h"
#include "password_hash.h"
#include "../web_text.h"
#include "../zepa_log.h"

namespace orla {

namespace {
// A user name as it may appear in a log line.
std::string LoggableName(const std::string& name) {
  return UserStore::IsValidName(name) ? name : std::string("(an invalid name)");
}
}  // namespace

LoginService::LoginService(std::string serverName, const std::string& usersFile,
                           const SessionTable::Settings& sessions, Clock* clock)
    : serverName_(std::move(serverName)), clock_(*Clock::Or(clock)), users_(usersFile), sessions_(sessions),
      failedLogins_("failed_logins", "failed log-ins", 3,
                    [](const std::string& text) { ZepaLog::Write(ZepaLog::kWarning, text); }, clock) {}

void LoginService::Prepare() { dummyHash_ = PasswordHash::Make(PasswordHash::RandomPassword(20)); }

std::optional<SessionTable::Session> LoginService::SessionOf(const HttpTransport::Request& request) {
  std::string token;
  if (!WebText::CookieValue(request.Header("Cookie"), kCookieName, &token) || token.empty()) return std::nullopt;
  std::optional<SessionTable::Session> session = sessions_.Touch(token, clock_.SteadyNow());
  if (!session) return std::nullopt;
  // A removed user or a changed password ends the session.
  std::optional<UserStore::User> user = users_.Find(session->user);
  if (!user || user->hash != session->passwordHash) {
    sessions_.Remove(token);
    return std::nullopt;
  }
  return session;
}

uint32_t LoginService::RightsFor(const std::optional<SessionTable::Session>& session, const std::string& right) {
  if (!session) return ZEPA_RIGHTS_NO_SESSION;
  std::optional<UserStore::User> user = users_.Find(session->user);
  if (!user || user->hash != session->passwordHash) return ZEPA_RIGHTS_NO_SESSION;
  return UserStore::MaskFor(*user, right);
}

uint32_t LoginService::UserRights(const std::string& user, const std::string& right) {
  std::optional<UserStore::User> found = users_.Find(user);
  return found ? UserStore::MaskFor(*found, right) : ZEPA_RIGHTS_NO_SESSION;
}

std::string LoginService::SessionCookie(const std::string& token, long maxAgeSeconds) const {
  return StringPrintf("%s=%s; Path=/; Max-Age=%ld; Secure; HttpOnly; SameSite=Strict", kCookieName, token.c_str(),
                      maxAgeSeconds);
}

LoginService::Check LoginService::CheckPassword(const std::string& address, const std::string& name,
                                               const std::string& password, std::optional<UserStore::User>* user) {
  // Guesses are counted per address and account (an address guessing one
  // account is refused it after a few) and per address (one guessing many
  // accounts is refused all after more): never per account alone, which
  // would let anyone lock the administrator out for everybody. Names that
  // are no valid user name count as one account.
  const std::string account = UserStore::IsValidName(name) ? name : std::string();
  const std::string pair = address + '\n' + account;
  const auto now = clock_.SteadyNow();
  const bool addressOpen = byAddress_.Begin(address, now);
  if (!addressOpen || !byAddressAndAccount_.Begin(pair, now)) {
    if (addressOpen) byAddress_.Cancelled(address);
    return addressOpen ? Check::kAccountBlocked : Check::kAddressBlocked;
  }
  const auto failed = [&] {
    const auto when = clock_.SteadyNow();
    byAddress_.Failed(address, account, when);
    byAddressAndAccount_.Failed(pair, account, when);
  };
  // Each verification takes much memory and time on purpose: only a few run
  // at once, the others wait their turn for a while.
  if (!verifications_.try_acquire_for(std::chrono::seconds(kVerificationWaitSeconds))) {
    failed();
    return Check::kBusy;
  }
  bool ok = false;
  try {
    *user = UserStore::IsValidName(name) ? users_.Find(name) : std::nullopt;
    ok = *user ? PasswordHash::Verify(password, (*user)->hash) : (PasswordHash::Verify(password, dummyHash_), false);
  } catch (...) {
    ok = false;
  }
  verifications_.release();
  if (!ok) {
    failed();
    return Check::kWrong;
  }
  byAddress_.Succeeded(address, (*user)->name);
  byAddressAndAccount_.Succeeded(pair, (*user)->name);
  return Check::kOk;
}

void LoginService::HandleLogin(const HttpTransport::Request& request, HttpTransport::Response& response) {
  if (request.method == "GET" || request.method == "HEAD") {
    std::string returnPath = "/";
    WebText::FormField(request.query, "return", &returnPath);
    LibraryPages::Send(response, 200, LibraryPages::Login(serverName_, "", returnPath, ""));
    return;
  }
  if (request.method != "POST") {
    response.headers.emplace_back("Allow", "GET, HEAD, POST");
    LibraryPages::SendError(response, 405, "Use the login form.");
    return;
  }
  std::string name, password, returnPath = "/";
  WebText::FormField(request.body, "return", &returnPath);
  WebText::FormField(request.body, "user", &name);
  WebText::FormField(request.body, "password", &password);
  const std::string account = UserStore::IsValidName(name) ? name : std::string();
  std::optional<UserStore::User> user;
  const Check check = CheckPassword(request.remoteAddress, name, password, &user);
  if (check == Check::kAddressBlocked || check == Check::kAccountBlocked) {
    LibraryPages::Send(response, 429,
                       LibraryPages::Login(serverName_,
                                           check == Check::kAccountBlocked
                                               ? "Too many failed logins for this user from your address. "
                                                 "Wait a minute, then try again."
                                               : "Too many failed logins from your address. Wait a minute, "
                                                 "then try again.",
                                           returnPath, account));
    return;
  }
  if (check == Check::kBusy) {
    response.headers.emplace_back("Retry-After", "5");
    LibraryPages::Send(response, 503,
             LibraryPages::Login(serverName_, "The server is busy checking other logins. Try again in a moment.",
                                 returnPath, account));
    return;
  }
  if (check == Check::kWrong) {
    failedLogins_.Warn(request.remoteAddress, StringPrintf("A web server login as %s from %s failed.",
                                                           LoggableName(name).c_str(), request.remoteAddress.c_str()));
    LibraryPages::Send(response, 401,
             LibraryPages::Login(serverName_, "The user name or the password is not correct.", returnPath,
                                 account));
    return;
  }
  std::string old;
  if (WebText::CookieValue(request.Header("Cookie"), kCookieName, &old)) sessions_.Remove(old);
  const std::string token = sessions_.Create(user->name, user->hash, clock_.SteadyNow());
  if (token.empty()) {
    response.headers.emplace_back("Retry-After", "60");
    LibraryPages::Send(response, 503,
                       LibraryPages::Login(serverName_, "The server holds as many sessions as it can. Try again later.",
                                           returnPath, account));
    return;
  }
  ZepaLog::Write(ZepaLog::kInfo, StringPrintf("The user %s logged in to the web server from %s.", user->name.c_str(),
                                              request.remoteAddress.c_str()));
  response.status = 303;
  response.headers.emplace_back("Location", WebText::SafeLocalPath(returnPath));
  response.headers.emplace_back("Set-Cookie", SessionCookie(token, static_cast<long>(sessions_.GetSettings().lifetime.count())));
  response.headers.emplace_back("Cache-Control", "no-store");
  response.body = LibraryPages::Error(303, "You are logged in.");
}

void LoginService::HandleLogout(const HttpTransport::Request& request, HttpTransport::Response& response) {
  // Logging out is a change like any other: a POST, whose origin the
  // request gate has checked. Reading the address shows the form only, so
  // that no link or image of another site can end a session.
  if (request.method == "GET" || request.method == "HEAD") {
    std::optional<SessionTable::Session> session = SessionOf(request);
    LibraryPages::Send(response, 200, LibraryPages::Logout(serverName_, session ? session->user : std::string()));
    return;
  }
  if (request.method != "POST") {
    response.headers.emplace_back("Allow", "GET, HEAD, POST");
    LibraryPages::SendError(response, 405, "Use the logout form.");
    return;
  }
  std::string token;
  if (WebText::CookieValue(request.Header("Cookie"), kCookieName, &token)) sessions_.Remove(token);
  response.headers.emplace_back("Set-Cookie", SessionCookie("", 0));
  LibraryPages::Send(response, 200, LibraryPages::LoggedOut(serverName_));
}

}  // namespace orla
