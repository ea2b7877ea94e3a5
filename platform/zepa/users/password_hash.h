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
  // True when both texts are equal; the time taken tells nothing about
  // where they differ (their lengths aside).
  static bool SameText(const std::string& a, const std::string& b);
  // A random password of `length` characters from A-Z a-z 0-9.
  static std::string RandomPassword(size_t length);
  // `bytes` random bytes as lower-case hex.
  static std::string RandomHex(size_t bytes);
};

}  // namespace orla
