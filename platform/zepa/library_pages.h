#pragma once
// The pages the web server library serves itself: the home page with each
// extension's fragment, the login and logout pages, and error pages. Every
// value written into them is HTML-escaped; the fragments are the extensions'
// own HTML and are written as they are.
#include <string>
#include <vector>

#include "transport/http_transport.h"

namespace orla {

class LibraryPages {
 public:
  static constexpr const char* kLoginPath = "/zepa/login";
  static constexpr const char* kLogoutPath = "/zepa/logout";
  // The signed-in user's name as plain text, empty without a session.
  static constexpr const char* kSessionPath = "/zepa/session";
  // Browsers ask for it on their own; it is sent on to the look's icon.
  static constexpr const char* kIconPath = "/favicon.ico";

  // What the pages link besides their own small style, and the icon that
  // /favicon.ico is sent on to (browsers ask for it themselves): paths on
  // the server, empty for none. One look for the whole process, set before servers start
  // (ZEPASetPageLook) and read by every page.
  struct Look {
    std::string styleSheet;
    std::string script;
    std::string icon;
  };
  static void SetLook(const Look& look);
  static Look CurrentLook();
  // Empty, or a path starting with "/" that holds nothing an attribute or a
  // Location header could be broken out of with.
  static bool IsLookPath(const std::string& path);

  // `user` is empty without a session.
  static std::string Home(const std::string& serverName, const std::vector<std::string>& fragments,
                          const std::string& user);
  // `message` (plain text) is shown above the form when not empty.
  static std::string Login(const std::string& serverName, const std::string& message,
                           const std::string& returnPath, const std::string& user);
  static std::string LoggedOut(const std::string& serverName);
  // The form that logs out (a POST, guarded like every change), as the
  // home page and the logout page show it.
  static std::string LogoutForm();
  // What GET /zepa/logout shows: the logout form, nothing ended yet.
  static std::string Logout(const std::string& serverName, const std::string& user);
  static std::string NoAccess(const std::string& serverName, const std::string& user,
                              const std::string& returnPath);
  static std::string Error(int status, const std::string& message);
  // Fills `response` with `html`: the status, text/html, no caching.
  static void Send(HttpTransport::Response& response, int status, const std::string& html);
  // The same with the error page for `status` and `message`.
  static void SendError(HttpTransport::Response& response, int status, const std::string& message);
  // The login page's URL that comes back to `returnPath` afterwards.
  static std::string LoginUrl(const std::string& returnPath);
  // The answer to a request that needs a session and came without one. A
  // page the browser navigates to (Sec-Fetch-Mode "navigate"; without that
  // header, an Accept that takes HTML or anything, or none) is redirected
  // (302) to the login page, which comes back to the request's path and
  // query afterwards. Any other request (a script's fetch, a client that
  // asks for JSON only) gets 401 with a small JSON body naming that URL,
  // so that it is not handed a login form in place of its data.
  static void SendLoginNeeded(const HttpTransport::Request& request, HttpTransport::Response& response);
};

}  // namespace orla
