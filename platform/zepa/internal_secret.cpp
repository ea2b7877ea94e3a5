#include "internal_secret.h"

#include "users/password_hash.h"

namespace orla {

const std::string& InternalSecret::Value() {
  // Never destroyed: request threads may read it until the process ends.
  static const std::string* secret = new std::string(PasswordHash::RandomHex(32));
  return *secret;
}

}  // namespace orla
