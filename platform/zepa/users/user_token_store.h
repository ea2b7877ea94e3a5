#pragma once
// The web server's user tokens file ("user-tokens" in the data directory,
// beside "metrics-token"): one token a line,
//   id:user:name:created:expires:digest
// with the token's id (12 hex digits), its user and name (each 1 to 64
// characters from A-Z a-z 0-9 . _ -), when it was made and when it expires
// (seconds since 1970, UTC; expires 0 for never) and the SHA-256 digest of
// its secret (TokenDigest). The secret itself is shown once, when the token
// is made, and kept nowhere: "kor_<id>_<64 hex digits>", 256 random bits
// after the id, so that a presented token is found by its id and only its
// digest is compared (in constant time).
//
// A token carries no rights of its own: whoever checks it looks its user's
// rights up at each use (a removed user's tokens do nothing). The file is
// handled like the users file (UserStore): rewritten whole and atomically,
// owner-only when new, under an exclusive lock of "<file>.lock", and reread
// by the server whenever it changes.
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "watched_file.h"

namespace orla {

class UserTokenStore {
 public:
  static constexpr const char* kFileName = "user-tokens";
  static constexpr const char* kSecretPrefix = "kor_";
  static constexpr size_t kIdBytes = 6;
  static constexpr size_t kSecretBytes = 32;

  struct Token {
    std::string id;
    std::string user;
    std::string name;
    int64_t created = 0;
    int64_t expires = 0;  // 0: never
    std::string digest;
  };

  enum class Verdict { kValid, kUnknown, kExpired };

  explicit UserTokenStore(std::string path);

  const std::string& Path() const { return file_.Path(); }

  // Parses the file text; bad lines are skipped and described in *problems.
  static std::vector<Token> Parse(const std::string& text, std::vector<std::string>* problems);
  static std::string Format(const std::vector<Token>& tokens);
  // A new token: its id, its secret ("kor_<id>_<hex>") and the secret's
  // digest.
  static void Make(std::string* id, std::string* secret, std::string* digest);
  // True when `text` is written like a user token (the prefix; the metrics
  // token never has it).
  static bool LooksLikeUserToken(const std::string& text);

  // Every token, reread when the file changed.
  std::vector<Token> All();
  // Whether `secret` is a token of the file, and not expired at `now`
  // (seconds since 1970); kValid sets *token.
  Verdict Check(const std::string& secret, int64_t now, Token* token);

  // As UserStore::Edit: reads the file under the exclusive lock, lets
  // `change` edit the list and writes it back when `change` returns true;
  // false with *error set refuses (EINVAL), false without leaves the file
  // alone (0). Otherwise 0, or an errno value with *error describing it.
  int Edit(const std::function<bool(std::vector<Token>& tokens, std::string* error)>& change, std::string* error);

 private:
  void ReloadIfChangedLocked();

  WatchedFile file_;
  std::mutex mutex_;  // guards file_'s rereading and tokens_
  std::vector<Token> tokens_;
};

}  // namespace orla
