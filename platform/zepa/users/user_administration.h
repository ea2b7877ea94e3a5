#pragma once
// UserAdministration: the rules and texts of managing the users file, shared
// by the users tool (korusers), the server's user requests (UsersRequest,
// behind the extension interface) and through them the agent's users page
// and API, so that no rule has a second copy.
//
// Levels. One access right (the agent's "KORAccess") carries a user's level:
// mask bit 2 administers (and may do everything), bit 4 operates, any other
// non-zero mask reads, 0 (or no entry and no "*" entry) is no access.
// Setting a level writes the user's own entry for that right (2, 4, 1, or 0
// when a "*" entry would otherwise give a right; else the entry goes).
//
// Rules. Names as UserStore::IsValidName; passwords of 8 to 256 characters
// without line breaks or zero bytes; a change that would leave no
// administrator where there was one is refused (the last administrator
// cannot be removed or lowered); changing one's own password needs the
// current one. A changed password, like a removed user, ends the user's
// sessions at their next use (LoginService compares the hash).
//
// Texts are the tool's: lower case, without a final full stop ("there is no
// user ops"); Sentence() makes a page's or the API's sentence of one.
// Outcomes carry an HTTP-like status (200, 201, 400, 403, 404, 409, 500)
// and the field at fault.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "user_store.h"

namespace orla {

class UserAdministration {
 public:
  enum class Level { kNone, kReader, kOperator, kAdministrator };
  static constexpr uint32_t kAdministratorMask = 2;
  static constexpr uint32_t kOperatorMask = 4;
  static constexpr uint32_t kReaderMask = 1;
  static constexpr size_t kMinimumPasswordLength = 8;
  static constexpr size_t kMaximumPasswordLength = 256;

  struct Outcome {
    int status = 200;
    std::string text;   // what was done, or why nothing was
    std::string field;  // "name", "password", "level", "currentPassword" or empty
    bool Ok() const { return status < 300; }
  };
  struct Entry {
    std::string name;
    Level level = Level::kNone;
  };
  // Ends the sessions of a user; returns how many ended.
  using SessionEnder = std::function<size_t(const std::string& user)>;
  // Checks a user's password (the server throttles guesses); true when it
  // is right.
  using PasswordCheck = std::function<bool(const std::string& user, const std::string& password)>;

  // `right` is the access right that carries the levels.
  UserAdministration(UserStore& store, std::string right);

  // "administrator", "operator", "reader", "none".
  static const char* LevelName(Level level);
  static bool ParseLevel(const std::string& text, Level* level);
  static Level LevelOfMask(uint32_t mask);
  static uint32_t MaskOf(Level level);
  Level LevelOf(const UserStore::User& user) const;

  // The rules' texts: empty when the value is fine.
  static std::string NameProblem(const std::string& name);
  static std::string PasswordProblem(const std::string& password);
  static std::string LevelProblem(const std::string& level);
  // "Text." with its first letter in capitals.
  static std::string Sentence(const std::string& text);

  // Every user with their level, in the file's order.
  std::vector<Entry> List();
  Outcome Add(const std::string& name, const std::string& password, Level level);
  // The tool's add: the rights as given (RIGHT=MASK ...).
  Outcome AddWithRights(const std::string& name, const std::string& password,
                        const std::map<std::string, uint32_t>& rights);
  Outcome Remove(const std::string& name);
  Outcome SetLevel(const std::string& name, Level level);
  // The tool's rights: each mask set, 0 removes the entry.
  Outcome SetRights(const std::string& name, const std::map<std::string, uint32_t>& rights);
  Outcome SetPassword(const std::string& name, const std::string& password);
  Outcome ChangeOwnPassword(const std::string& name, const std::string& current, const std::string& password,
                            const PasswordCheck& check = PasswordCheck());
  Outcome EndSessions(const std::string& name, const SessionEnder& end);

 private:
  using Users = std::vector<UserStore::User>;
  // Runs `change` on the file's users (see UserStore::Edit), refusing it
  // when it would leave no administrator where there was one.
  Outcome Edit(const std::string& name, const std::function<Outcome(Users& users)>& change, const std::string& done,
               int doneStatus = 200);
  size_t Administrators(const Users& users) const;

  UserStore& store_;
  std::string right_;
};

}  // namespace orla
