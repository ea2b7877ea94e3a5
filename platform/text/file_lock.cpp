#include "platform/text/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/text/regular_file.h"

namespace orla {

FileLock::FileLock(const std::string& path) {
  // A link planted in the lock file's place is not followed (it would make
  // the file elsewhere, as root when a tool runs as root), nor is a FIFO
  // waited on.
  int fd = -1;
  errorNumber_ = RegularFile::Open(path, O_RDWR | O_CREAT, 0600, &fd);
  if (errorNumber_ != 0) {
    error_ = "cannot open " + RegularFile::Describe(path, errorNumber_);
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
