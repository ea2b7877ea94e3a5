#include "platform/text/atomic_file.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orla {

int AtomicFile::Write(const std::string& path, const std::string& contents) {
  // The files we rewrite are ordinary configuration files, readable like the
  // ones they replace.
  return Write(path, contents, 0644);
}

namespace {
// mkstemp's pattern: the six X become random characters.
constexpr char kTempSuffix[] = ".tmpXXXXXX";

// With `owner`, the new file takes its owner, group and its permission bits
// within `keep`.
int WriteFile(const std::string& path, const std::string& contents, mode_t mode, const struct stat* owner,
              mode_t keep = 07777) {
  std::string temp = path + kTempSuffix;
  int fd = mkstemp(temp.data());
  if (fd < 0) return errno;
  // mkstemp creates the file 0600; widen (or keep) it to what was asked.
  if (owner != nullptr) {
    // Only a privileged writer can give the file away; others keep it.
    if (fchown(fd, owner->st_uid, owner->st_gid) != 0 && errno != EPERM) {
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return err;
    }
    mode = owner->st_mode & keep;
  }
  fchmod(fd, mode);
  size_t written = 0;
  while (written < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      ::unlink(temp.c_str());
      return err;
    }
    written += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0) {
    int err = errno;
    ::close(fd);
    ::unlink(temp.c_str());
    return err;
  }
  if (::close(fd) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return err;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    int err = errno;
    ::unlink(temp.c_str());
    return err;
  }
  // Make the rename itself durable: flush the folder entry.
  const size_t slash = path.rfind('/');
  const std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    ::fsync(dfd);
    ::close(dfd);
  }
  return 0;
}
}  // namespace

int AtomicFile::Write(const std::string& path, const std::string& contents, mode_t mode) {
  return WriteFile(path, contents, mode, nullptr);
}

int AtomicFile::WriteKeepingOwner(const std::string& path, const std::string& contents, mode_t mode) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return WriteFile(path, contents, mode, nullptr);
  return WriteFile(path, contents, mode, &st);
}

int AtomicFile::WritePrivate(const std::string& path, const std::string& contents) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return WriteFile(path, contents, 0640, nullptr);
  return WriteFile(path, contents, 0640, &st, 0770);
}

int AtomicFile::RemoveLeftovers(const std::string& path) {
  namespace fs = std::filesystem;
  const fs::path file(path);
  const std::string prefix = file.filename().string() + ".tmp";
  const size_t length = prefix.size() + sizeof kTempSuffix - sizeof ".tmp";
  std::error_code ec;
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  int removed = 0;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.size() != length || name.compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code typeError;
    if (!it->is_regular_file(typeError) || it->is_symlink(typeError)) continue;
    if (::unlink(it->path().c_str()) == 0) ++removed;
  }
  return removed;
}

}  // namespace orla
