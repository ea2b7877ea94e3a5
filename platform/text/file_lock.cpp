#include "platform/text/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orla {

FileLock::FileLock(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) {
    errorNumber_ = errno;
    error_ = "cannot open " + path + ": " + std::strerror(errorNumber_);
    return;
  }
  while (::flock(fd, LOCK_EX) != 0) {
    if (errno == EINTR) continue;
    errorNumber_ = errno;
    error_ = "cannot lock " + path + ": " + std::strerror(errorNumber_);
    ::close(fd);
    return;
  }
  fd_ = fd;
}

FileLock::~FileLock() {
  // Closing the only descriptor releases the lock.
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace orla
