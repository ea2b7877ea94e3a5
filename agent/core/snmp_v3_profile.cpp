#include "agent/core/snmp_v3_profile.h"

#include "platform/text/ascii_case.h"

namespace orla {

namespace {

template <typename Enum>
struct Named {
  Enum value;
  const char* text;
};

constexpr Named<SnmpV3Level> kLevels[] = {{SnmpV3Level::kNoAuthNoPriv, "noAuthNoPriv"},
                                          {SnmpV3Level::kAuthNoPriv, "authNoPriv"},
                                          {SnmpV3Level::kAuthPriv, "authPriv"}};
constexpr Named<SnmpV3Auth> kAuths[] = {
    {SnmpV3Auth::kMd5, "MD5"},         {SnmpV3Auth::kSha1, "SHA"},         {SnmpV3Auth::kSha1, "SHA-1"},
    {SnmpV3Auth::kSha224, "SHA-224"}, {SnmpV3Auth::kSha256, "SHA-256"}, {SnmpV3Auth::kSha384, "SHA-384"},
    {SnmpV3Auth::kSha512, "SHA-512"}};
constexpr Named<SnmpV3Priv> kPrivs[] = {
    {SnmpV3Priv::kDes, "DES"},           {SnmpV3Priv::kAes128, "AES"},       {SnmpV3Priv::kAes128, "AES-128"},
    {SnmpV3Priv::kAes192, "AES-192"},    {SnmpV3Priv::kAes256, "AES-256"},   {SnmpV3Priv::kAes192C, "AES-192-C"},
    {SnmpV3Priv::kAes256C, "AES-256-C"}};

// The first text of a value is the one written.
template <typename Enum, size_t N>
const char* TextOf(const Named<Enum> (&table)[N], Enum value) {
  for (const auto& row : table) {
    if (row.value == value) return row.text;
  }
  return "";
}

template <typename Enum, size_t N>
bool ValueOf(const Named<Enum> (&table)[N], const std::string& text, Enum* value) {
  for (const auto& row : table) {
    if (AsciiCase::Equal(row.text, text)) {
      *value = row.value;
      return true;
    }
  }
  return false;
}

// Empty, or why `phrase` cannot be a pass phrase; `which` names it.
std::string CheckPassPhrase(const std::string& phrase, const char* which) {
  if (phrase.size() < SnmpV3Profile::kMinPassPhraseLength) {
    return std::string("the ") + which + " pass phrase has fewer than 8 characters";
  }
  if (phrase.size() > SnmpV3Profile::kMaxPassPhraseLength) {
    return std::string("the ") + which + " pass phrase has more than 256 characters";
  }
  for (unsigned char c : phrase) {
    if (c == '\n' || c == '\r' || c == '\0') {
      return std::string("the ") + which + " pass phrase holds a line end or a zero byte";
    }
  }
  return "";
}

// Printable ASCII without spaces' troubles: 1 to `max` characters, no
// control characters.
bool IsPrintable(const std::string& text, size_t max) {
  if (text.empty() || text.size() > max) return false;
  for (unsigned char c : text) {
    if (c < 0x21 || c > 0x7e) return false;
  }
  return true;
}

}  // namespace

const char* SnmpV3Profile::LevelText(SnmpV3Level level) { return TextOf(kLevels, level); }
const char* SnmpV3Profile::AuthText(SnmpV3Auth auth) { return TextOf(kAuths, auth); }
const char* SnmpV3Profile::PrivText(SnmpV3Priv priv) { return TextOf(kPrivs, priv); }
bool SnmpV3Profile::ParseLevel(const std::string& text, SnmpV3Level* level) {
  return ValueOf(kLevels, text, level);
}
bool SnmpV3Profile::ParseAuth(const std::string& text, SnmpV3Auth* auth) { return ValueOf(kAuths, text, auth); }
bool SnmpV3Profile::ParsePriv(const std::string& text, SnmpV3Priv* priv) { return ValueOf(kPrivs, text, priv); }

bool SnmpV3Profile::IsValidName(const std::string& name) {
  if (name.empty() || name.size() > kMaxNameLength) return false;
  for (unsigned char c : name) {
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' ||
                    c == '_' || c == '-';
    if (!ok) return false;
  }
  return true;
}

std::string SnmpV3Profile::Check() const {
  if (!IsValidName(name)) {
    return "a profile name is 1 to 32 letters, digits, '.', '_' or '-'";
  }
  if (!IsPrintable(user, kMaxUserLength)) return "the user name is 1 to 32 printable characters without spaces";
  if (!context.empty() && !IsPrintable(context, kMaxContextLength)) {
    return "the context name is up to 32 printable characters without spaces";
  }
  const bool wantsAuth = level != SnmpV3Level::kNoAuthNoPriv;
  const bool wantsPriv = level == SnmpV3Level::kAuthPriv;
  if (wantsAuth && auth == SnmpV3Auth::kNone) {
    return std::string("level ") + LevelText(level) + " needs an authentication protocol (--auth)";
  }
  if (!wantsAuth && auth != SnmpV3Auth::kNone) return "level noAuthNoPriv takes no authentication protocol";
  if (wantsPriv && priv == SnmpV3Priv::kNone) return "level authPriv needs a privacy protocol (--priv)";
  if (!wantsPriv && priv != SnmpV3Priv::kNone) {
    return std::string("level ") + LevelText(level) + " takes no privacy protocol";
  }
  if (wantsAuth) {
    const std::string error = CheckPassPhrase(authPassPhrase, "authentication");
    if (!error.empty()) return error;
  } else if (!authPassPhrase.empty()) {
    return "level noAuthNoPriv takes no authentication pass phrase";
  }
  if (wantsPriv) {
    const std::string error = CheckPassPhrase(privPassPhrase, "privacy");
    if (!error.empty()) return error;
  } else if (!privPassPhrase.empty()) {
    return std::string("level ") + LevelText(level) + " takes no privacy pass phrase";
  }
  return "";
}

}  // namespace orla
