#pragma once
// One SNMPv3 user of the user-based security model as the library is handed
// it: name, security level, protocols and pass phrases, context. The pass
// phrases are secrets: nothing in platform/snmpmgr writes them anywhere, and
// the keys made from them live only inside the library's sessions.
#include <string>

namespace orla {

struct SnmpUsmCredentials {
  enum class Level { kNoAuthNoPriv = 1, kAuthNoPriv = 2, kAuthPriv = 3 };

  std::string user;
  Level level = Level::kNoAuthNoPriv;
  // "MD5", "SHA" (SHA-1), "SHA-224", "SHA-256", "SHA-384", "SHA-512".
  std::string authProtocol;
  std::string authPassphrase;
  // "DES", "AES" (AES-128), "AES-192", "AES-256" (key extension of the
  // Blumenthal draft), "AES-192-C", "AES-256-C" (the Reeder variant).
  std::string privProtocol;
  std::string privPassphrase;
  std::string context;
};

}  // namespace orla
