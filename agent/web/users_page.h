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
// "end_sessions" NAME; "remove" NAME.
#include <cstdint>
#include <string>

#include "web_page.h"

namespace orla {

class UsersPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
  uint32_t HandlePost() override;

  static constexpr const char* kLocation = "users.html";

 private:
  uint32_t ShowUsers(const std::string& notice);
  // Where sections about a user's other credentials go (none yet).
  void AppendCredentialSections();
};

}  // namespace orla
