#pragma once
// A data directory's user tokens as the users tool (korusers token ...) and
// the agent's JSON API (the tokens resource) make, list and revoke them: the
// one place of their rules and of the texts that refuse them. A token
// belongs to a user of the users file, has a name unique among that user's
// tokens and may expire after a number of days; its secret is answered once,
// by Add, and kept nowhere (the file holds its digest: UserTokenStore).
// Tokens carry no rights: the server looks the user's rights up at each use.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orla {

class UserTokens {
 public:
  static constexpr int64_t kMaxExpiresDays = 3650;

  struct Listed {
    std::string id;
    std::string user;
    std::string name;
    int64_t created = 0;
    int64_t expires = 0;  // 0: never
  };

  // What a refusal concerns: the user (none such), the token's name (not
  // valid, or taken), the expiry, the token asked for (none such), or the
  // file (the server's own trouble).
  enum class Fault { kUser, kName, kDuplicate, kExpires, kNoSuchToken, kStorage };
  struct Refusal {
    Fault fault = Fault::kStorage;
    std::string text;
  };

  static constexpr const char* kBadName =
      "A token's name has 1 to 64 characters from A-Z a-z 0-9 . _ - and does not start with -.";
  static constexpr const char* kBadExpiry = "The expiry is a whole number of days from 1 to 3650.";

  explicit UserTokens(const std::string& dataDirectory);

  // A number of days as the users tool's --expires gives it: the number, or
  // -1 for text that is no whole number (Add refuses it).
  static int64_t DaysFromText(const std::string& text);
  // What a change did, as the audit event says it: "made the token NAME
  // of USER", "revoked the token NAME of USER".
  static std::string MadeText(const std::string& user, const std::string& name);
  static std::string RevokedText(const std::string& user, const std::string& name);
  // Seconds since 1970 as "2026-12-09T08:30:00Z".
  static std::string UtcText(int64_t seconds);

  // Makes a token of `user` called `name`, expiring after `expiresDays`
  // days (none: never). True with *secret (to be shown once) and *made.
  bool Add(const std::string& user, const std::string& name, std::optional<int64_t> expiresDays,
           std::string* secret, Listed* made, Refusal* refusal);
  // Every token, or the tokens of `user` when it is not empty; no secrets.
  std::vector<Listed> List(const std::string& user = std::string());
  // Revokes the token of `user` called `name`, or the token with id `id`.
  bool Revoke(const std::string& user, const std::string& name, Listed* revoked, Refusal* refusal);
  bool RevokeId(const std::string& id, Listed* revoked, Refusal* refusal);
  // Revokes every token of `user` (the user is being removed); the number
  // revoked, or -1 with *error.
  int RevokeAllOf(const std::string& user, std::string* error);

 private:
  std::string usersPath_;
  std::string tokensPath_;
};

}  // namespace orla
