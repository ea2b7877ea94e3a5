#pragma once
// The SHA-256 digest of a user token's secret, as lower-case hex (GnuTLS):
// the token file keeps this digest, never the secret itself.
#include <string>

namespace orla {

class TokenDigest {
 public:
  // 64 hex digits; empty when the digest cannot be made.
  static std::string Sha256Hex(const std::string& text);
};

}  // namespace orla
