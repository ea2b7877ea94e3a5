#pragma once
// UsersPage: "/KOR/users.html", the web server's users for administrators
// (reading too): each user with their level, and forms to add a user (name,
// password, level), set a level, reset a password, end a user's sessions
// and remove a user. The rules and their texts are the library's
// (LibraryUsers, UserAdministration behind it): the last administrator
// cannot be removed or lowered, names and passwords as korusers takes them.
// A refusal is the error page; each change is an audit event naming the
// acting user. POST fields: "add" with "name", "password", "level";
// "set_level" with "user", "level"; "reset" with "user", "password";
// "end_sessions" NAME; "remove" NAME; "add_token" with "user", "token_name"
// and an optional "expires_days"; "revoke_token" ID.
//
// Tokens (UserTokens, the rules and texts korusers and the API use too): a
// made token's secret is shown once, in the page that answers the making,
// and kept nowhere; the list shows each token's user, name, when it was made
// and when it expires, never a secret.
#include <cstdint>
#include <string>
#include <vector>

#include "web_page.h"

namespace orla {

class UsersPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  static constexpr const char* kLocation = "users.html";

 private:
  uint32_t ShowUsers(const std::string& notice, const std::string& secret = std::string());
  // The tokens of every user, and the form that makes one.
  void AppendTokenSections(const std::vector<std::string>& users);
  uint32_t AddToken();
  uint32_t RevokeToken(const std::string& id);
};

}  // namespace orla
