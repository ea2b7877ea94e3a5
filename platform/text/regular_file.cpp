#include "platform/text/regular_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace orla {

int RegularFile::Open(const std::string& path, int flags, mode_t mode, int* fd, bool followLink) {
  *fd = -1;
  const int extra = O_NONBLOCK | O_CLOEXEC | (followLink ? 0 : O_NOFOLLOW);
  const int opened = ::open(path.c_str(), flags | extra, mode);
  if (opened < 0) {
    const int err = errno;
    // ELOOP is also a loop of links among the folders: only a link as the
    // last part is called one.
    struct stat st;
    if (err == ELOOP && !followLink && ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return kSymbolicLink;
    return err;
  }
  struct stat st;
  if (::fstat(opened, &st) != 0) {
    const int err = errno;
    ::close(opened);
    return err;
  }
  if (!S_ISREG(st.st_mode)) {
    ::close(opened);
    return kNotRegular;
  }
  if ((flags & O_NONBLOCK) == 0) {
    const int current = ::fcntl(opened, F_GETFL);
    if (current < 0 || ::fcntl(opened, F_SETFL, current & ~O_NONBLOCK) != 0) {
      const int err = errno;
      ::close(opened);
      return err;
    }
  }
  *fd = opened;
  return 0;
}

int RegularFile::Read(const std::string& path, std::string* text, bool followLink, size_t maxBytes) {
  int fd = -1;
  const int err = Open(path, O_RDONLY, 0, &fd, followLink);
  if (err != 0) return err;
  std::string out;
  char buffer[8192];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int readError = errno;
      ::close(fd);
      return readError;
    }
    if (n == 0) break;
    if (out.size() + static_cast<size_t>(n) > maxBytes) {
      ::close(fd);
      return EFBIG;
    }
    out.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  *text = std::move(out);
  return 0;
}

std::string RegularFile::ErrorText(int error) {
  if (error == kNotRegular) return "it is not a regular file";
  if (error == kSymbolicLink) return "it is a symbolic link, which is not followed";
  return std::strerror(error);
}

std::string RegularFile::Describe(const std::string& path, int error) {
  return path + ": " + ErrorText(error);
}

}  // namespace orla
