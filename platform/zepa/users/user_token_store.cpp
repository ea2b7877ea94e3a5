#include "user_token_store.h"


#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "platform/text/string_printf.h"
#include "password_hash.h"
#include "token_digest.h"
#include "user_store.h"

namespace orla {

namespace {

bool IsHex(const std::string& text, size_t length) {
  return text.size() == length &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

bool ParseSeconds(const std::string& text, int64_t* value) {
  if (text.empty() || text.size() > 18 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  *value = std::stoll(text);
  return true;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    const size_t colon = line.find(':', start);
    fields.push_back(line.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
    if (colon == std::string::npos) return fields;
    start = colon + 1;
  }
}

}  // namespace

UserTokenStore::UserTokenStore(std::string path) : file_(std::move(path)) {}

std::vector<UserTokenStore::Token> UserTokenStore::Parse(const std::string& text, std::vector<std::string>* problems) {
  std::vector<Token> tokens;
  std::istringstream in(text);
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> fields = Fields(line);
    Token token;
    if (fields.size() != 6 || !IsHex(fields[0], 2 * kIdBytes) || !UserStore::IsValidName(fields[1]) ||
        !UserStore::IsValidName(fields[2]) || !ParseSeconds(fields[3], &token.created) ||
        !ParseSeconds(fields[4], &token.expires) || !IsHex(fields[5], 64)) {
      if (problems) problems->push_back(StringPrintf("line %d: not id:user:name:created:expires:digest", number));
      continue;
    }
    token.id = fields[0];
    token.user = fields[1];
    token.name = fields[2];
    token.digest = fields[5];
    const bool twice = std::any_of(tokens.begin(), tokens.end(), [&](const Token& other) {
      return other.id == token.id || (other.user == token.user && other.name == token.name);
    });
    if (twice) {
      if (problems) problems->push_back(StringPrintf("line %d: a token listed twice", number));
      continue;
    }
    tokens.push_back(std::move(token));
  }
  return tokens;
}

std::string UserTokenStore::Format(const std::vector<Token>& tokens) {
  std::string out = "# Web server user tokens: id:user:name:created:expires:sha256-of-secret (managed with korusers)\n";
  for (const Token& token : tokens) {
    out += token.id + ":" + token.user + ":" + token.name + ":" + std::to_string(token.created) + ":" +
           std::to_string(token.expires) + ":" + token.digest + "\n";
  }
  return out;
}

void UserTokenStore::Make(std::string* id, std::string* secret, std::string* digest) {
  *id = PasswordHash::RandomHex(kIdBytes);
  const std::string random = PasswordHash::RandomHex(kSecretBytes);
  *secret = kSecretPrefix + *id + "_" + random;
  *digest = TokenDigest::Sha256Hex(random);
}

bool UserTokenStore::LooksLikeUserToken(const std::string& text) {
  return text.rfind(kSecretPrefix, 0) == 0;
}

void UserTokenStore::ReloadIfChangedLocked() {
  // No token works while the file cannot be read: the list read earlier
  // may hold revoked ones.
  std::string text;
  if (file_.Reread(&text, "The web server cannot read its user tokens file %s. No user token is accepted until it can be read.")) tokens_ = Parse(text, nullptr);
}

std::vector<UserTokenStore::Token> UserTokenStore::All() {
  std::lock_guard<std::mutex> lock(mutex_);
  ReloadIfChangedLocked();
  return tokens_;
}

UserTokenStore::Verdict UserTokenStore::Check(const std::string& secret, int64_t now, Token* token) {
  // kor_<id>_<secret>
  const size_t prefix = std::strlen(kSecretPrefix);
  if (!LooksLikeUserToken(secret) || secret.size() != prefix + 2 * kIdBytes + 1 + 2 * kSecretBytes ||
      secret[prefix + 2 * kIdBytes] != '_') {
    return Verdict::kUnknown;
  }
  const std::string id = secret.substr(prefix, 2 * kIdBytes);
  const std::string digest = TokenDigest::Sha256Hex(secret.substr(prefix + 2 * kIdBytes + 1));
  std::lock_guard<std::mutex> lock(mutex_);
  ReloadIfChangedLocked();
  for (const Token& candidate : tokens_) {
    if (candidate.id != id) continue;
    if (digest.empty() || !PasswordHash::SameText(digest, candidate.digest)) return Verdict::kUnknown;
    if (candidate.expires != 0 && now >= candidate.expires) return Verdict::kExpired;
    *token = candidate;
    return Verdict::kValid;
  }
  return Verdict::kUnknown;
}

int UserTokenStore::Edit(const std::function<bool(std::vector<Token>& tokens, std::string* error)>& change,
                         std::string* error) {
  return file_.Edit(
      [&](std::string& text, std::string* refused) {
        std::vector<Token> tokens = Parse(text, nullptr);
        if (!change(tokens, refused)) return false;
        text = Format(tokens);
        return true;
      },
      error);
}

}  // namespace orla
