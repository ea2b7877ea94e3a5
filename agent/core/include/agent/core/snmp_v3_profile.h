#pragma once
// One named SNMPv3 profile: the user-based security model's user name and
// security level, the authentication protocol and pass phrase, the privacy
// protocol and pass phrase, and an optional context name. A value type: the
// credentials file holds a list of them (SnmpV3Credentials), a session asks
// for the one assigned to its device's address.
//
// Pass phrases are secrets: nothing here writes them anywhere but the
// credentials file. Check() answers texts that name fields, never values.
//
// Privacy protocols with 192- and 256-bit keys come in the two key
// extensions devices use: AES-192 and AES-256 extend the localized key by
// hashing it again (the draft the library follows by default), AES-192-C
// and AES-256-C by chaining hashes of the pass phrase's key (the variant
// some device families ship; the library names it after them).
#include <string>

namespace orla {

enum class SnmpV3Level { kNoAuthNoPriv, kAuthNoPriv, kAuthPriv };
enum class SnmpV3Auth { kNone, kMd5, kSha1, kSha224, kSha256, kSha384, kSha512 };
enum class SnmpV3Priv { kNone, kDes, kAes128, kAes192, kAes256, kAes192C, kAes256C };

struct SnmpV3Profile {
  // USM and pass phrase limits.
  static constexpr size_t kMaxNameLength = 32;
  static constexpr size_t kMaxUserLength = 32;
  static constexpr size_t kMaxContextLength = 32;
  static constexpr size_t kMinPassPhraseLength = 8;
  static constexpr size_t kMaxPassPhraseLength = 256;

  std::string name;  // the profile's own name: letters, digits, '.', '_', '-'
  std::string user;  // securityName
  SnmpV3Level level = SnmpV3Level::kNoAuthNoPriv;
  SnmpV3Auth auth = SnmpV3Auth::kNone;
  std::string authPassPhrase;
  SnmpV3Priv priv = SnmpV3Priv::kNone;
  std::string privPassPhrase;
  std::string context;  // empty: the default context

  // Empty when the profile is whole and consistent; otherwise what is wrong
  // ("the authentication pass phrase has fewer than 8 characters", "level
  // authPriv needs --priv", ...).
  std::string Check() const;

  bool operator==(const SnmpV3Profile&) const = default;

  // The texts of the command line and the credentials file
  // ("authPriv", "SHA-256", "AES-192-C"); "" for kNone.
  static const char* LevelText(SnmpV3Level level);
  static const char* AuthText(SnmpV3Auth auth);
  static const char* PrivText(SnmpV3Priv priv);
  // The reverse, case-insensitive; false for an unknown text. "SHA-1" is
  // taken for "SHA", "AES-128" for "AES".
  static bool ParseLevel(const std::string& text, SnmpV3Level* level);
  static bool ParseAuth(const std::string& text, SnmpV3Auth* auth);
  static bool ParsePriv(const std::string& text, SnmpV3Priv* priv);
  // Profile names: 1 to 32 of letters, digits, '.', '_' and '-'.
  static bool IsValidName(const std::string& name);
};

}  // namespace orla
