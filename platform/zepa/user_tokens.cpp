#include "platform/zepa/user_tokens.h"

#include <algorithm>
#include <ctime>
#include <functional>

#include "platform/text/string_printf.h"
#include "users/user_store.h"
#include "users/user_token_store.h"
#include "data_directory.h"

namespace orla {

namespace {

using Tokens = std::vector<UserTokenStore::Token>;

UserTokens::Listed ListedOf(const UserTokenStore::Token& token) {
  return {token.id, token.user, token.name, token.created, token.expires};
}

std::string NoSuchToken(const std::string& user, const std::string& name) {
  return "The user " + user + " has no token called " + name + ".";
}

// Removes the first token `matches`; false, with the refusal's text, when none does.
bool RemoveFirst(UserTokenStore& store, const std::function<bool(const UserTokenStore::Token&)>& matches,
                 const std::string& none, UserTokens::Listed* revoked, UserTokens::Refusal* refusal) {
  std::string error;
  const int rc = store.Edit(
      [&](Tokens& tokens, std::string* why) {
        const auto it = std::find_if(tokens.begin(), tokens.end(), matches);
        if (it == tokens.end()) {
          *why = none;
          return false;
        }
        *revoked = ListedOf(*it);
        tokens.erase(it);
        return true;
      },
      &error);
  if (rc == 0) return true;
  *refusal = {error == none ? UserTokens::Fault::kNoSuchToken : UserTokens::Fault::kStorage, error};
  return false;
}

}  // namespace

UserTokens::UserTokens(const std::string& dataDirectory)
    : usersPath_(dataDirectory + "/" + DataDirectory::kUsersFileName),
      tokensPath_(dataDirectory + "/" + UserTokenStore::kFileName) {}

int64_t UserTokens::DaysFromText(const std::string& text) {
  if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return -1;
  }
  return std::stoll(text);
}

std::string UserTokens::MadeText(const std::string& user, const std::string& name) {
  return "made the token " + name + " of " + user;
}

std::string UserTokens::RevokedText(const std::string& user, const std::string& name) {
  return "revoked the token " + name + " of " + user;
}

std::string UserTokens::UtcText(int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm utc{};
  gmtime_r(&t, &utc);
  return StringPrintf("%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday, utc.tm_hour,
                      utc.tm_min, utc.tm_sec);
}

bool UserTokens::Add(const std::string& user, const std::string& name, std::optional<int64_t> expiresDays,
                     std::string* secret, Listed* made, Refusal* refusal) {
  UserStore users(usersPath_);
  if (!UserStore::IsValidName(user) || !users.Find(user)) {
    *refusal = {Fault::kUser, "There is no user " + user + "."};
    return false;
  }
  if (!UserStore::IsValidName(name)) {
    *refusal = {Fault::kName, kBadName};
    return false;
  }
  if (expiresDays && (*expiresDays < 1 || *expiresDays > kMaxExpiresDays)) {
    *refusal = {Fault::kExpires, kBadExpiry};
    return false;
  }
  const std::string duplicate = "The user " + user + " already has a token called " + name + ".";
  UserTokenStore::Token token;
  token.user = user;
  token.name = name;
  token.created = static_cast<int64_t>(::time(nullptr));
  token.expires = expiresDays ? token.created + *expiresDays * 86400 : 0;
  std::string made_secret;
  std::string error;
  UserTokenStore store(tokensPath_);
  const int rc = store.Edit(
      [&](Tokens& tokens, std::string* why) {
        for (const UserTokenStore::Token& other : tokens) {
          if (other.user == user && other.name == name) {
            *why = duplicate;
            return false;
          }
        }
        // A fresh id (twelve random hex digits hardly ever repeat).
        do {
          UserTokenStore::Make(&token.id, &made_secret, &token.digest);
        } while (std::any_of(tokens.begin(), tokens.end(), [&](const auto& other) { return other.id == token.id; }));
        if (token.digest.empty()) {
          *why = "the token's digest cannot be made";
          return false;
        }
        tokens.push_back(token);
        return true;
      },
      &error);
  if (rc != 0) {
    *refusal = {error == duplicate ? Fault::kDuplicate : Fault::kStorage, error};
    return false;
  }
  *secret = made_secret;
  *made = ListedOf(token);
  return true;
}

std::vector<UserTokens::Listed> UserTokens::List(const std::string& user) {
  std::vector<Listed> listed;
  for (const UserTokenStore::Token& token : UserTokenStore(tokensPath_).All()) {
    if (user.empty() || token.user == user) listed.push_back(ListedOf(token));
  }
  return listed;
}

bool UserTokens::Revoke(const std::string& user, const std::string& name, Listed* revoked, Refusal* refusal) {
  UserTokenStore store(tokensPath_);
  return RemoveFirst(
      store, [&](const UserTokenStore::Token& token) { return token.user == user && token.name == name; },
      NoSuchToken(user, name), revoked, refusal);
}

bool UserTokens::RevokeId(const std::string& id, Listed* revoked, Refusal* refusal) {
  UserTokenStore store(tokensPath_);
  return RemoveFirst(
      store, [&](const UserTokenStore::Token& token) { return token.id == id; }, "There is no token " + id + ".",
      revoked, refusal);
}

int UserTokens::RevokeAllOf(const std::string& user, std::string* error) {
  int revoked = 0;
  UserTokenStore store(tokensPath_);
  const int rc = store.Edit(
      [&](Tokens& tokens, std::string*) {
        const size_t before = tokens.size();
        tokens.erase(std::remove_if(tokens.begin(), tokens.end(), [&](const auto& t) { return t.user == user; }),
                     tokens.end());
        revoked = static_cast<int>(before - tokens.size());
        return revoked > 0;
      },
      error);
  return rc == 0 ? revoked : -1;
}

}  // namespace orla
