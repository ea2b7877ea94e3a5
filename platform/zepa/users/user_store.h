#pragma once
// The web server's users file: one user a line,
//   name:password-hash:right=mask,right=mask
// where each right is a registered access right's name (or "*" for every
// right not listed) and each mask a 31-bit number (the top bit is reserved:
// the rights query answers 0x80000000 only for a request without a session).
// Lines starting with "#" and empty lines are ignored. The file is rewritten
// whole and atomically, keeping the old file's owner and mode (a new file is
// owner-only), under an exclusive lock of "<file>.lock" so that the users
// tool and the server never lose each other's changes. The server rereads it
// whenever it changes; a file that exists but cannot be read means no users
// (logged as CRITICAL once), never the list read before.
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "watched_file.h"

namespace orla {

class UserStore {
 public:
  struct User {
    std::string name;
    std::string hash;
    std::map<std::string, uint32_t> rights;
  };

  explicit UserStore(std::string path);

  const std::string& Path() const { return file_.Path(); }

  // Parses the file text; bad lines are skipped and described in *problems.
  static std::vector<User> Parse(const std::string& text, std::vector<std::string>* problems);
  static std::string Format(const std::vector<User>& users);
  // 1 to 64 characters from A-Z a-z 0-9 . _ - (and not starting with "-").
  static bool IsValidName(const std::string& name);
  // A right's name: 1 to 64 characters from A-Z a-z 0-9 . _ -, or "*".
  static bool IsValidRightName(const std::string& name);
  // "NAME=MASK", the mask decimal or 0x-hex, below 0x80000000.
  static bool ParseRight(const std::string& text, std::string* name, uint32_t* mask);
  // The user's mask for `right`: its own entry, else the "*" entry, else 0.
  static uint32_t MaskFor(const User& user, const std::string& right);

  bool Exists() const;
  // The user named `name` as the file holds it now (reread when it changed).
  std::optional<User> Find(const std::string& name);
  // Every user, reread when the file changed.
  std::vector<User> All();

  // Reads the file under the exclusive lock, lets `change` edit the list and
  // writes it back when `change` returns true. `change` returns false either
  // to leave the file alone (0 is returned) or, after setting *error, to
  // refuse the change (EINVAL). Otherwise returns 0, or an errno value with
  // *error describing the failure.
  int Edit(const std::function<bool(std::vector<User>& users, std::string* error)>& change,
           std::string* error);

 private:
  void ReloadIfChangedLocked();

  WatchedFile file_;
  std::mutex mutex_;  // guards file_'s rereading and users_
  std::vector<User> users_;
};

}  // namespace orla
