#pragma once
// The SNMPv3 users the simulated devices of the v3 tests know, as snmpsimd
// arguments, as simulator/start.sh's --v3-users file and as the agent's
// profiles (snmpsimd picks the recording by the context name, the data
// file's name: "public" for SnmpsimDevice, the device's name for the
// simulator). kor-sha1 is there for a wrong pass phrase of its own.
#include <string>
#include <vector>

#include "agent/core/snmp_v3_credentials.h"

namespace orla::test {

struct SnmpsimV3User {
  const char* user;
  SnmpV3Level level;
  SnmpV3Auth auth;
  const char* authPass;
  const char* simAuth;  // snmpsimd's name of the protocol
  SnmpV3Priv priv;
  const char* privPass;
  const char* simPriv;
};

inline constexpr SnmpsimV3User kSnmpsimV3Users[] = {
    {"kor-md5", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kMd5, "md5-pass-phrase", "MD5", SnmpV3Priv::kNone, "", ""},
    {"kor-sha256", SnmpV3Level::kAuthPriv, SnmpV3Auth::kSha256, "sha256-pass-phrase", "SHA256", SnmpV3Priv::kAes128,
     "aes128-pass-phrase", "AES"},
    {"kor-sha512", SnmpV3Level::kAuthPriv, SnmpV3Auth::kSha512, "sha512-pass-phrase", "SHA512", SnmpV3Priv::kAes256,
     "aes256-pass-phrase", "AES256BLMT"},
    {"kor-sha1", SnmpV3Level::kAuthNoPriv, SnmpV3Auth::kSha1, "sha1-pass-phrase", "SHA", SnmpV3Priv::kNone, "", ""},
};

inline std::vector<std::string> SnmpsimV3Arguments() {
  std::vector<std::string> arguments;
  for (const SnmpsimV3User& u : kSnmpsimV3Users) {
    arguments.push_back(std::string("--v3-user=") + u.user);
    arguments.push_back(std::string("--v3-auth-key=") + u.authPass);
    arguments.push_back(std::string("--v3-auth-proto=") + u.simAuth);
    if (u.priv != SnmpV3Priv::kNone) {
      arguments.push_back(std::string("--v3-priv-key=") + u.privPass);
      arguments.push_back(std::string("--v3-priv-proto=") + u.simPriv);
    }
  }
  return arguments;
}

// simulator/start.sh's --v3-users lines.
inline std::string SnmpsimV3UsersFile() {
  std::string text;
  for (const SnmpsimV3User& u : kSnmpsimV3Users) {
    text += std::string(u.user) + " " + u.simAuth + " " + u.authPass;
    if (u.priv != SnmpV3Priv::kNone) text += std::string(" ") + u.simPriv + " " + u.privPass;
    text += "\n";
  }
  return text;
}

inline SnmpV3Profile ProfileOf(const SnmpsimV3User& u, const std::string& context = "public") {
  SnmpV3Profile p;
  p.name = u.user;
  p.user = u.user;
  p.level = u.level;
  p.auth = u.auth;
  p.authPassPhrase = u.authPass;
  p.priv = u.priv;
  p.privPassPhrase = u.privPass;
  p.context = context;
  return p;
}

// Credentials with `profile` assigned to `target` (default: every address).
// `profile` added to `credentials` and assigned to `target`.
inline SnmpV3Credentials CredentialsWith(const SnmpV3Profile& profile, const std::string& target = "default",
                                         SnmpV3Credentials credentials = SnmpV3Credentials()) {
  credentials.Put(profile);
  credentials.Assign(profile.name, target);
  return credentials;
}

}  // namespace orla::test
