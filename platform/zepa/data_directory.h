#pragma once
// A server's data directory and what start-up makes in it: the folder
// itself (owner-only when new), the client cache (emptied of responses a
// previous process left), the certificate and key (SelfSignedCertificate),
// the users file with a first administrator and a random password written to
// an owner-only file, and the bundle of certificates client requests trust.
#include <cstdint>
#include <string>

#include "users/user_store.h"

namespace orla {

class DataDirectory {
 public:
  static constexpr const char* kCertificateFileName = "server.crt";
  static constexpr const char* kKeyFileName = "server.key";
  static constexpr const char* kUsersFileName = "users";
  static constexpr const char* kPasswordFileName = "administrator-password.txt";
  static constexpr const char* kCacheDirectoryName = "cache";
  // The certificates client requests to other hosts trust: the system's and
  // this server's.
  static constexpr const char* kTrustBundleFileName = "client-trust.pem";
  static constexpr const char* kAdministrator = "administrator";
  // The administrator made on first start holds every bit of every right.
  static constexpr uint32_t kAdministratorMask = 0x7fffffffu;

  explicit DataDirectory(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }
  std::string File(const char* name) const { return path_ + "/" + name; }

  // Makes everything above that is missing. False with *error when the
  // server cannot run without what failed.
  bool Prepare(UserStore& users, std::string* error) const;

 private:
  void PrepareCache() const;
  bool EnsureUsers(UserStore& users, std::string* error) const;

  std::string path_;
};

}  // namespace orla
