#include "platform/zepa/users_command.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "platform/sysinfo/directory_owner.h"
#include "platform/text/string_printf.h"
#include "platform/zepa/user_tokens.h"
#include "users/password_hash.h"
#include "users/scrape_credentials.h"
#include "users/user_store.h"
#include "users/user_token_store.h"
#include "data_directory.h"

namespace orla {

namespace {
using Users = std::vector<UserStore::User>;

UserStore::User* FindUser(Users& users, const std::string& name) {
  for (UserStore::User& user : users) {
    if (user.name == name) return &user;
  }
  return nullptr;
}

std::string RightsText(const UserStore::User& user) {
  std::string text;
  for (const auto& [right, mask] : user.rights) {
    if (!text.empty()) text += ",";
    text += StringPrintf("%s=0x%08x", right.c_str(), mask);
  }
  return text.empty() ? "(no rights)" : text;
}

bool ParseRights(const std::vector<std::string>& args, size_t from, std::map<std::string, uint32_t>* rights,
                 std::ostream& err) {
  for (size_t i = from; i < args.size(); ++i) {
    std::string name;
    uint32_t mask = 0;
    if (!UserStore::ParseRight(args[i], &name, &mask)) {
      err << "korusers: \"" << args[i]
          << "\" is not RIGHT=MASK (a right's name, or *, and a number below 0x80000000)\n";
      return false;
    }
    (*rights)[name] = mask;
  }
  return true;
}

// The user called `name`; nullptr, with *error saying so, when there is none.
UserStore::User* ExistingUser(Users& users, const std::string& name, std::string* error) {
  UserStore::User* user = FindUser(users, name);
  if (user == nullptr) *error = "there is no user " + name;
  return user;
}

// Asks for the new password of `user` and hashes it; false, after saying
// why on `err`, when no usable password was given or it cannot be hashed.
bool NewPasswordHash(const UsersCommand::PasswordSource& passwords, const std::string& user, std::string* hash,
                     std::ostream& err) {
  std::string password;
  if (!passwords(StringPrintf("New password for %s: ", user.c_str()), &password)) {
    err << "korusers: no password was given\n";
    return false;
  }
  if (password.size() < UsersCommand::kMinimumPasswordLength) {
    err << "korusers: a password needs at least " << UsersCommand::kMinimumPasswordLength << " characters\n";
    return false;
  }
  if (password.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
    err << "korusers: a password cannot hold line breaks or zero bytes\n";
    return false;
  }
  *hash = PasswordHash::Make(password);
  if (hash->empty()) {
    err << "korusers: the password cannot be hashed\n";
    return false;
  }
  return true;
}
// Makes the data directory (owner-only) when it is missing; false, after
// saying why, when it cannot be had.
bool EnsureDirectory(const std::string& dataDirectory, std::ostream& err) {
  struct stat st;
  if (::stat(dataDirectory.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) return true;
  if (::mkdir(dataDirectory.c_str(), 0700) == 0) return true;
  err << "korusers: cannot use the data directory " << dataDirectory << ": " << std::strerror(errno) << "\n";
  return false;
}

// The user tokens: token add USER --name NAME [--expires DAYS], token list
// [USER], token revoke USER NAME. The refusals are UserTokens' own texts.
int TokenCommand(const std::vector<std::string>& rest, const std::string& dataDirectory, std::ostream& out,
                 std::ostream& err, const UsersCommand::ChangeReport& changed) {
  UserTokens tokens(dataDirectory);
  UserTokens::Refusal refusal;
  UserTokens::Listed listed;
  const auto refused = [&]() {
    err << "korusers: " << refusal.text << "\n";
    return refusal.fault == UserTokens::Fault::kName || refusal.fault == UserTokens::Fault::kExpires ? 1 : 2;
  };
  const std::string& action = rest[0];
  if (action == "list") {
    if (rest.size() > 2) return -1;
    for (const UserTokens::Listed& token : tokens.List(rest.size() > 1 ? rest[1] : std::string())) {
      out << token.user << "\t" << token.name << "\t" << token.id << "\tcreated " << UserTokens::UtcText(token.created)
          << "\texpires " << (token.expires != 0 ? UserTokens::UtcText(token.expires) : std::string("never")) << "\n";
    }
    return 0;
  }
  std::string message;
  if (action == "add") {
    std::string name;
    std::optional<int64_t> days;
    for (size_t i = 2; i + 1 < rest.size(); i += 2) {
      if (rest[i] == "--name") {
        name = rest[i + 1];
      } else if (rest[i] == "--expires") {
        days = UserTokens::DaysFromText(rest[i + 1]);
      } else {
        return -1;
      }
    }
    if (name.empty() || rest.size() % 2 != 0) return -1;
    if (!EnsureDirectory(dataDirectory, err)) return 2;
    std::string secret;
    if (!tokens.Add(rest[1], name, days, &secret, &listed, &refusal)) return refused();
    message = UserTokens::MadeText(rest[1], name);
    err << "korusers: " << message << " (its secret is shown this once)\n";
    out << secret << "\n";
  } else if (action == "revoke") {
    if (rest.size() != 3) return -1;
    if (!tokens.Revoke(rest[1], rest[2], &listed, &refusal)) return refused();
    message = UserTokens::RevokedText(rest[1], rest[2]);
    out << "korusers: " << message << "\n";
  }
  if (changed) changed(message);
  return 0;
}
}  // namespace

void UsersCommand::Usage(std::ostream& out, const DefaultDataDirectory& defaultDirectory) {
  out << "Usage: korusers [-d DATA-DIRECTORY] COMMAND [ARGUMENTS]\n"
         "Manages the users of the KORAgent web server.\n"
         "\n"
         "Commands:\n"
         "  list                          list the users and their rights\n"
         "  add NAME [RIGHT=MASK ...]     add a user; asks for the password\n"
         "  remove NAME                   remove a user (ends their sessions)\n"
         "  password NAME                 set a user's password (ends their sessions)\n"
         "  rights NAME RIGHT=MASK ...    set rights masks; MASK 0 removes the right\n"
         "  token                         show the metrics bearer token (made when\n"
         "                                there is none)\n"
         "  token new                     replace the metrics bearer token\n"
         "  token add USER --name NAME [--expires DAYS]\n"
         "                                make a token of USER for the JSON API, with\n"
         "                                USER's rights; prints its secret, this once\n"
         "  token list [USER]             list the user tokens (no secrets)\n"
         "  token revoke USER NAME        revoke a user token\n"
         "\n"
         "RIGHT is a registered access right (KORAccess for the agent's pages) or *\n"
         "for every right not listed; MASK is a number below 0x80000000. For\n"
         "KORAccess, 2 is the administrator right.\n"
         "\n"
         "The password is read from the terminal (twice), or as one line from\n"
         "standard input when that is not a terminal."
      << (defaultDirectory.description.empty() ? "\n" : defaultDirectory.description);
}

bool UsersCommand::ActAsOwner(const std::string& dataDirectory, std::string* error) {
  const std::string users = DataDirectory::kUsersFileName;
  const std::string tokens = UserTokenStore::kFileName;
  return DirectoryOwner::Become(dataDirectory, {users, users + ".lock", tokens, tokens + ".lock"}, error);
}

int UsersCommand::Run(const std::vector<std::string>& args, const DefaultDataDirectory& defaultDirectory,
                      const PasswordSource& passwords, std::ostream& out, std::ostream& err,
                      const OwnerSwitch& actAsOwner, const ChangeReport& changed) {
  std::string dataDirectory;
  size_t i = 0;
  while (i < args.size() && !args[i].empty() && args[i][0] == '-') {
    if (args[i] == "-h" || args[i] == "--help") {
      Usage(out, defaultDirectory);
      return 0;
    }
    if ((args[i] == "-d" || args[i] == "--data-dir") && i + 1 < args.size()) {
      dataDirectory = args[i + 1];
      i += 2;
      continue;
    }
    err << "korusers: unknown option " << args[i] << "\n";
    Usage(err, defaultDirectory);
    return 1;
  }
  if (i >= args.size()) {
    Usage(err, defaultDirectory);
    return 1;
  }
  const std::string command = args[i];
  const std::vector<std::string> rest(args.begin() + static_cast<long>(i) + 1, args.end());
  if (dataDirectory.empty()) {
    std::string error = "there is no default data directory";
    if (!defaultDirectory.find || !defaultDirectory.find(&dataDirectory, &error)) {
      err << "korusers: " << error << "; name the data directory with -d\n";
      return 1;
    }
  }
  if (actAsOwner) {
    std::string error;
    if (!actAsOwner(dataDirectory, &error)) {
      err << "korusers: " << error << "\n";
      return 2;
    }
  }
  UserStore store(dataDirectory + "/" + DataDirectory::kUsersFileName);

  if (command == "list") {
    if (!rest.empty()) {
      Usage(err, defaultDirectory);
      return 1;
    }
    for (const UserStore::User& user : store.All()) out << user.name << "\t" << RightsText(user) << "\n";
    return 0;
  }
  if (command == "token" && !rest.empty() && (rest[0] == "add" || rest[0] == "list" || rest[0] == "revoke")) {
    const int code = TokenCommand(rest, dataDirectory, out, err, changed);
    if (code < 0) Usage(err, defaultDirectory);
    return code < 0 ? 1 : code;
  }
  if (command == "token") {
    if (rest.size() > 1 || (rest.size() == 1 && rest[0] != "new")) {
      Usage(err, defaultDirectory);
      return 1;
    }
    if (!EnsureDirectory(dataDirectory, err)) return 2;
    const std::string path = dataDirectory + "/" + ScrapeCredentials::kTokenFileName;
    std::string token;
    if (rest.empty() && ScrapeCredentials::ReadToken(path, &token)) {
      out << token << "\n";
      return 0;
    }
    const int error = ScrapeCredentials::MakeToken(path, &token);
    if (error != 0) {
      err << "korusers: cannot write " << path << ": " << std::strerror(error) << "\n";
      return 2;
    }
    err << "korusers: made a new metrics token in " << path << "\n";
    if (changed) changed("made a new metrics token in " + path);
    out << token << "\n";
    return 0;
  }
  if (rest.empty() || !UserStore::IsValidName(rest[0])) {
    if (!rest.empty()) err << "korusers: \"" << rest[0] << "\" is not a valid user name (A-Z a-z 0-9 . _ -)\n";
    Usage(err, defaultDirectory);
    return 1;
  }
  const std::string name = rest[0];
  if (!EnsureDirectory(dataDirectory, err)) return 2;

  // What the change below captures lives until the file is written.
  std::function<bool(Users&, std::string*)> change;
  std::string message;
  std::map<std::string, uint32_t> rights;
  std::string hash;
  if (command == "add") {
    if (!ParseRights(rest, 1, &rights, err)) return 1;
    if (store.Find(name)) {
      err << "korusers: the user " << name << " exists already\n";
      return 2;
    }
    if (!NewPasswordHash(passwords, name, &hash, err)) return 2;
    change = [&](Users& users, std::string* error) {
      if (FindUser(users, name) != nullptr) {
        *error = "the user " + name + " exists already";
        return false;
      }
      users.push_back(UserStore::User{name, hash, rights});
      return true;
    };
    message = "added the user " + name;
  } else if (command == "remove") {
    if (rest.size() != 1) {
      Usage(err, defaultDirectory);
      return 1;
    }
    change = [&](Users& users, std::string* error) {
      for (auto it = users.begin(); it != users.end(); ++it) {
        if (it->name == name) {
          users.erase(it);
          return true;
        }
      }
      *error = "there is no user " + name;
      return false;
    };
    message = "removed the user " + name;
  } else if (command == "password") {
    if (rest.size() != 1) {
      Usage(err, defaultDirectory);
      return 1;
    }
    if (!store.Find(name)) {
      err << "korusers: there is no user " << name << "\n";
      return 2;
    }
    if (!NewPasswordHash(passwords, name, &hash, err)) return 2;
    change = [&](Users& users, std::string* error) {
      UserStore::User* user = ExistingUser(users, name, error);
      if (user == nullptr) return false;
      user->hash = hash;
      return true;
    };
    message = "set the password of " + name;
  } else if (command == "rights") {
    if (rest.size() < 2) {
      Usage(err, defaultDirectory);
      return 1;
    }
    if (!ParseRights(rest, 1, &rights, err)) return 1;
    change = [&](Users& users, std::string* error) {
      UserStore::User* user = ExistingUser(users, name, error);
      if (user == nullptr) return false;
      for (const auto& [right, mask] : rights) {
        if (mask == 0) {
          user->rights.erase(right);
        } else {
          user->rights[right] = mask;
        }
      }
      return true;
    };
    message = "set the rights of " + name;
  } else {
    err << "korusers: unknown command " << command << "\n";
    Usage(err, defaultDirectory);
    return 1;
  }

  std::string error;
  if (store.Edit(change, &error) != 0) {
    err << "korusers: " << error << "\n";
    return 2;
  }
  out << "korusers: " << message << "\n";
  if (changed) changed(message);
  if (command == "remove") {
    // The user's tokens go with the user (a user of that name added later
    // gets none of them).
    const int revoked = UserTokens(dataDirectory).RevokeAllOf(name, &error);
    if (revoked < 0) {
      err << "korusers: " << error << "\n";
      return 2;
    }
    if (revoked > 0) out << "korusers: revoked " << revoked << " token(s) of " << name << "\n";
  }
  if (command == "password" && name == DataDirectory::kAdministrator) {
    // The first-start password no longer works: its file goes.
    const std::string initial = dataDirectory + "/" + DataDirectory::kPasswordFileName;
    if (::unlink(initial.c_str()) == 0) out << "korusers: removed " << initial << "\n";
  }
  return 0;
}

}  // namespace orla
