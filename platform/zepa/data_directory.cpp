#include "data_directory.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <vector>

#include "platform/text/atomic_file.h"
#include "platform/text/string_printf.h"
#include "users/password_hash.h"
#include "self_signed_certificate.h"
#include "trust_bundle.h"
#include "zepa_log.h"

namespace orla {

void DataDirectory::PrepareCache() const {
  const std::string dir = File(kCacheDirectoryName);
  ::mkdir(dir.c_str(), 0700);
  // Responses left by a process that ended during a client request.
  if (DIR* d = ::opendir(dir.c_str())) {
    while (struct dirent* entry = ::readdir(d)) {
      if (std::strncmp(entry->d_name, "client-", 7) == 0) ::unlink((dir + "/" + entry->d_name).c_str());
    }
    ::closedir(d);
  }
}

bool DataDirectory::EnsureUsers(UserStore& users, std::string* error) const {
  if (users.Exists()) return true;
  // No default password: a first start makes the administrator with a
  // random one, written first to an owner-only file so that it can never be
  // lost once the users file names it.
  const std::string password = PasswordHash::RandomPassword(20);
  const std::string hash = PasswordHash::Make(password);
  if (hash.empty()) {
    *error = "cannot hash the administrator's password";
    return false;
  }
  const std::string passwordFile = File(kPasswordFileName);
  int rc = AtomicFile::Write(passwordFile, password + "\n", 0600);
  if (rc != 0) {
    *error = StringPrintf("cannot write %s: %s", passwordFile.c_str(), std::strerror(rc));
    return false;
  }
  bool created = false;
  std::string editError;
  rc = users.Edit(
      [&](std::vector<UserStore::User>& users, std::string*) {
        if (!users.empty()) return false;  // the users tool was quicker
        UserStore::User admin;
        admin.name = kAdministrator;
        admin.hash = hash;
        admin.rights["*"] = kAdministratorMask;
        users.push_back(admin);
        created = true;
        return true;
      },
      &editError);
  if (rc != 0 || !created) {
    ::unlink(passwordFile.c_str());
    if (rc != 0) {
      *error = editError;
      return false;
    }
    return true;
  }
  ZepaLog::Write(ZepaLog::kInfo,
                 StringPrintf("The web server made the user \"%s\" with a random password, written to %s "
                              "(readable by its owner only). Log in with it, then change it with korusers.",
                              kAdministrator, passwordFile.c_str()));
  return true;
}

bool DataDirectory::Prepare(UserStore& users, std::string* error) const {
  std::error_code ec;
  const bool made = std::filesystem::create_directories(path_, ec);
  if (ec) {
    *error = StringPrintf("cannot make the data directory %s: %s", path_.c_str(),
                          ec.message().c_str());
    return false;
  }
  if (made) ::chmod(path_.c_str(), 0700);
  PrepareCache();

  std::string message;
  switch (SelfSignedCertificate::Ensure(File(kCertificateFileName), File(kKeyFileName), &message)) {
    case SelfSignedCertificate::Outcome::kFailed:
      *error = message;
      return false;
    case SelfSignedCertificate::Outcome::kCreated:
    case SelfSignedCertificate::Outcome::kRenewed:
      ZepaLog::Write(ZepaLog::kInfo, message);
      break;
    case SelfSignedCertificate::Outcome::kKept:
      if (!message.empty()) ZepaLog::Write(ZepaLog::kWarning, message);
      break;
  }
  // The key is the server's identity: one others may read is used, but
  // said so each start.
  struct stat key;
  if (::stat(File(kKeyFileName).c_str(), &key) == 0 && (key.st_mode & 0077) != 0) {
    ZepaLog::Write(ZepaLog::kWarning,
                   StringPrintf("The web server's private key %s may be read by users other than its owner (mode "
                                "%04o); make it readable by its owner only (chmod 600).",
                                File(kKeyFileName).c_str(), static_cast<unsigned>(key.st_mode & 07777)));
  }
  if (!EnsureUsers(users, error)) return false;
  if (!TrustBundle::Write(File(kCertificateFileName), File(kTrustBundleFileName), &message)) {
    // Client requests then trust only the system's certificates.
    ZepaLog::Write(ZepaLog::kWarning, "The web server cannot prepare its client requests' trust: " + message);
  }
  return true;
}

}  // namespace orla
