#pragma once
// LibraryUsers: the web server library's users as the agent's pages and API
// reach them, through the extension interface (REQ_MANAGE_USERS with a
// ZEPA_USERS_REQUEST) for one request. The library holds the rules and the
// texts (UserAdministration) and checks that the request's session may act;
// this class only carries the request there and the answer back. Every
// result has the library's HTTP-like status, its sentence and the field at
// fault.
//
// Texts longer than the record's fields (a name beyond 67 characters, a
// password beyond 259) are cut to fit: the library's rules refuse both
// anyway (64 and 256 at most), in their own words.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/zepa/zepa.h"

namespace orla {

class LibraryUsers {
 public:
  struct Result {
    int status = 500;
    std::string text;
    std::string field;
    uint32_t count = 0;  // sessions ended
    bool Ok() const { return status >= 200 && status < 300; }
    // The text as an audit event's phrase: "added the user ops".
    std::string What() const;
  };
  struct User {
    std::string name;
    std::string level;  // "administrator", "operator", "reader", "none"
  };
  // A level the library does not know: it refuses it in its own words.
  static constexpr uint32_t kUnknownLevel = 0xffffffffu;

  explicit LibraryUsers(EXTENSION_CONTROL_BLOCK* request) : request_(request) {}

  // "administrator" ZEPA_USER_LEVEL_ADMINISTRATOR ... "none"; kUnknownLevel
  // for any other text.
  static uint32_t LevelNumber(const std::string& name);

  Result List(std::vector<User>* users) const;
  Result Add(const std::string& name, const std::string& password, const std::string& level) const;
  Result Remove(const std::string& name) const;
  Result SetLevel(const std::string& name, const std::string& level) const;
  Result SetPassword(const std::string& name, const std::string& password) const;
  Result EndSessions(const std::string& name) const;
  Result ChangeOwnPassword(const std::string& current, const std::string& password) const;

 private:
  Result Call(ZEPA_USERS_REQUEST& record) const;

  EXTENSION_CONTROL_BLOCK* request_;
};

}  // namespace orla
