#include "agent/core/snmp_v3_credential_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text/atomic_file.h"
#include "platform/text/regular_file.h"

namespace orla {

bool SnmpV3CredentialFile::Load(const std::string& path, SnmpV3Credentials* out, std::string* error) {
  // Regular files only, opened without following a link or waiting on a
  // FIFO put in the file's place.
  int fd = -1;
  if (const int err = RegularFile::Open(path, O_RDONLY, 0, &fd); err != 0) {
    if (err == ENOENT) {
      *out = SnmpV3Credentials();
      return true;
    }
    *error = RegularFile::Describe(path, err);
    return false;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0) {
    *error = path + ": " + std::strerror(errno);
    ::close(fd);
    return false;
  }
  if ((st.st_mode & 077) != 0) {
    ::close(fd);
    *error = path + " is readable by group or others (chmod 600 it)";
    return false;
  }
  std::string text;
  char buffer[4096];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof(buffer));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = path + ": " + std::strerror(errno);
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  const std::string parseError = SnmpV3Credentials::Parse(text, out);
  if (!parseError.empty()) {
    *error = path + ": " + parseError;
    return false;
  }
  return true;
}

bool SnmpV3CredentialFile::Save(const std::string& path, const SnmpV3Credentials& credentials, std::string* error) {
  const int err = AtomicFile::Write(path, credentials.Serialise(), 0600);
  if (err != 0) {
    *error = path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace orla
