#include "user_administration.h"

#include <cctype>

#include "password_hash.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

UserStore::User* FindUser(std::vector<UserStore::User>& users, const std::string& name) {
  for (UserStore::User& user : users) {
    if (user.name == name) return &user;
  }
  return nullptr;
}

UserAdministration::Outcome Refused(int status, std::string text, std::string field = std::string()) {
  return UserAdministration::Outcome{status, std::move(text), std::move(field)};
}

UserAdministration::Outcome NoUser(const std::string& name) {
  return Refused(404, "there is no user " + name, "name");
}

constexpr const char* kLevelNames[] = {"none", "reader", "operator", "administrator"};

}  // namespace

UserAdministration::UserAdministration(UserStore& store, std::string right)
    : store_(store), right_(std::move(right)) {}

const char* UserAdministration::LevelName(Level level) { return kLevelNames[static_cast<int>(level)]; }

bool UserAdministration::ParseLevel(const std::string& text, Level* level) {
  for (int i = 0; i < 4; ++i) {
    if (text == kLevelNames[i]) {
      *level = static_cast<Level>(i);
      return true;
    }
  }
  return false;
}

UserAdministration::Level UserAdministration::LevelOfMask(uint32_t mask) {
  if ((mask & kAdministratorMask) != 0) return Level::kAdministrator;
  if ((mask & kOperatorMask) != 0) return Level::kOperator;
  return mask != 0 ? Level::kReader : Level::kNone;
}

uint32_t UserAdministration::MaskOf(Level level) {
  switch (level) {
    case Level::kAdministrator:
      return kAdministratorMask;
    case Level::kOperator:
      return kOperatorMask;
    case Level::kReader:
      return kReaderMask;
    case Level::kNone:
      break;
  }
  return 0;
}

UserAdministration::Level UserAdministration::LevelOf(const UserStore::User& user) const {
  return LevelOfMask(UserStore::MaskFor(user, right_));
}

std::string UserAdministration::NameProblem(const std::string& name) {
  if (UserStore::IsValidName(name)) return std::string();
  return "\"" + name + "\" is not a valid user name (A-Z a-z 0-9 . _ -)";
}

std::string UserAdministration::PasswordProblem(const std::string& password) {
  if (password.size() < kMinimumPasswordLength) {
    return StringPrintf("a password needs at least %zu characters", kMinimumPasswordLength);
  }
  if (password.size() > kMaximumPasswordLength) {
    return StringPrintf("a password may have at most %zu characters", kMaximumPasswordLength);
  }
  if (password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    return "a password cannot hold line breaks or zero bytes";
  }
  return std::string();
}

std::string UserAdministration::LevelProblem(const std::string& level) {
  Level parsed;
  if (ParseLevel(level, &parsed)) return std::string();
  return "\"" + level + "\" is not a level (administrator, operator, reader or none)";
}

std::string UserAdministration::Sentence(const std::string& text) {
  std::string sentence = text;
  if (!sentence.empty()) sentence[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(sentence[0])));
  if (sentence.empty() || sentence.back() != '.') sentence += ".";
  return sentence;
}

size_t UserAdministration::Administrators(const Users& users) const {
  size_t count = 0;
  for (const UserStore::User& user : users) count += LevelOf(user) == Level::kAdministrator ? 1 : 0;
  return count;
}

std::vector<UserAdministration::Entry> UserAdministration::List() {
  std::vector<Entry> entries;
  for (const UserStore::User& user : store_.All()) entries.push_back(Entry{user.name, LevelOf(user)});
  return entries;
}

UserAdministration::Outcome UserAdministration::Edit(const std::string& name,
                                                     const std::function<Outcome(Users& users)>& change,
                                                     const std::string& done, int doneStatus) {
  Outcome outcome{doneStatus, done, ""};
  std::string error;
  const int rc = store_.Edit(
      [&](Users& users, std::string* refusal) {
        const size_t before = Administrators(users);
        outcome = change(users);
        if (outcome.Ok() && before > 0 && Administrators(users) == 0) {
          outcome = Refused(409, name + " is the last administrator: make another user administrator first",
                            "level");
        }
        if (!outcome.Ok()) {
          *refusal = outcome.text;
          return false;
        }
        outcome = Outcome{doneStatus, done, ""};
        return true;
      },
      &error);
  if (rc != 0 && outcome.Ok()) return Refused(500, error);
  return outcome;
}

UserAdministration::Outcome UserAdministration::Add(const std::string& name, const std::string& password,
                                                    Level level) {
  std::map<std::string, uint32_t> rights;
  if (level != Level::kNone) rights[right_] = MaskOf(level);
  return AddWithRights(name, password, rights);
}

UserAdministration::Outcome UserAdministration::AddWithRights(const std::string& name, const std::string& password,
                                                              const std::map<std::string, uint32_t>& rights) {
  if (std::string problem = NameProblem(name); !problem.empty()) return Refused(400, problem, "name");
  if (store_.Find(name)) return Refused(409, "the user " + name + " exists already", "name");
  if (std::string problem = PasswordProblem(password); !problem.empty()) return Refused(400, problem, "password");
  const std::string hash = PasswordHash::Make(password);
  if (hash.empty()) return Refused(500, "the password cannot be hashed", "password");
  return Edit(
      name,
      [&](Users& users) {
        if (FindUser(users, name) != nullptr) return Refused(409, "the user " + name + " exists already", "name");
        users.push_back(UserStore::User{name, hash, rights});
        return Outcome{};
      },
      "added the user " + name, 201);
}

UserAdministration::Outcome UserAdministration::Remove(const std::string& name) {
  return Edit(
      name,
      [&](Users& users) {
        for (auto it = users.begin(); it != users.end(); ++it) {
          if (it->name == name) {
            users.erase(it);
            return Outcome{};
          }
        }
        return NoUser(name);
      },
      "removed the user " + name);
}

UserAdministration::Outcome UserAdministration::SetLevel(const std::string& name, Level level) {
  return Edit(
      name,
      [&](Users& users) {
        UserStore::User* user = FindUser(users, name);
        if (user == nullptr) return NoUser(name);
        const uint32_t mask = MaskOf(level);
        const auto any = user->rights.find("*");
        if (mask == 0 && (any == user->rights.end() || any->second == 0)) {
          user->rights.erase(right_);
        } else {
          user->rights[right_] = mask;
        }
        return Outcome{};
      },
      StringPrintf("set the level of %s to %s", name.c_str(), LevelName(level)));
}

UserAdministration::Outcome UserAdministration::SetRights(const std::string& name,
                                                          const std::map<std::string, uint32_t>& rights) {
  return Edit(
      name,
      [&](Users& users) {
        UserStore::User* user = FindUser(users, name);
        if (user == nullptr) return NoUser(name);
        for (const auto& [right, mask] : rights) {
          if (mask == 0) {
            user->rights.erase(right);
          } else {
            user->rights[right] = mask;
          }
        }
        return Outcome{};
      },
      "set the rights of " + name);
}

UserAdministration::Outcome UserAdministration::SetPassword(const std::string& name, const std::string& password) {
  if (!store_.Find(name)) return NoUser(name);
  if (std::string problem = PasswordProblem(password); !problem.empty()) return Refused(400, problem, "password");
  const std::string hash = PasswordHash::Make(password);
  if (hash.empty()) return Refused(500, "the password cannot be hashed", "password");
  return Edit(
      name,
      [&](Users& users) {
        UserStore::User* user = FindUser(users, name);
        if (user == nullptr) return NoUser(name);
        user->hash = hash;
        return Outcome{};
      },
      "set the password of " + name);
}

UserAdministration::Outcome UserAdministration::ChangeOwnPassword(const std::string& name,
                                                                  const std::string& current,
                                                                  const std::string& password,
                                                                  const PasswordCheck& check) {
  std::optional<UserStore::User> user = store_.Find(name);
  if (!user) return NoUser(name);
  const bool right = check ? check(name, current) : PasswordHash::Verify(current, user->hash);
  if (!right) return Refused(403, "the current password is wrong", "currentPassword");
  if (std::string problem = PasswordProblem(password); !problem.empty()) return Refused(400, problem, "password");
  Outcome outcome = SetPassword(name, password);
  if (outcome.Ok()) outcome.text = "changed the own password of " + name;
  return outcome;
}

UserAdministration::Outcome UserAdministration::EndSessions(const std::string& name, const SessionEnder& end) {
  if (!store_.Find(name)) return NoUser(name);
  const size_t ended = end ? end(name) : 0;
  return Outcome{200, StringPrintf("ended %zu session%s of %s", ended, ended == 1 ? "" : "s", name.c_str()), ""};
}

}  // namespace orla
