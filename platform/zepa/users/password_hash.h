#pragma once
// Slow salted password hashes: yescrypt through crypt(3) (libcrypt), the
// scheme the system's own account passwords use, with a fresh random salt
// for every hash.
#include <string>

namespace orla {

class PasswordHash {
 public:
  // The "$y$..." hash of `password`; empty on failure.
  static std::string Make(const std::string& password);
  // True when `password` matches `hash` (compared in constant time).
  static bool Verify(const std::string& password, const std::string& hash);
  // A random password of `length` characters from A-Z a-z 0-9.
  static std::string RandomPassword(size_t length);
  // `bytes` random bytes as lower-case hex.
  static std::string RandomHex(size_t bytes);
};

}  // namespace orla
