#include "token_digest.h"

#include <gnutls/crypto.h>

#include "platform/text/string_printf.h"

namespace orla {

std::string TokenDigest::Sha256Hex(const std::string& text) {
  unsigned char digest[32];
  if (gnutls_hash_fast(GNUTLS_DIG_SHA256, text.data(), text.size(), digest) != 0) return std::string();
  std::string hex;
  for (unsigned char byte : digest) hex += StringPrintf("%02x", byte);
  return hex;
}

}  // namespace orla
