#include "watched_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/text/atomic_file.h"
#include "platform/text/file_lock.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"

namespace orla {

WatchedFile::WatchedFile(std::string path) : path_(std::move(path)) {}

bool WatchedFile::Exists() const {
  struct stat st {};
  return ::stat(path_.c_str(), &st) == 0;
}

WatchedFile::Look WatchedFile::Reread(std::string* text, int* error, bool* firstFailure) {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    // A file made later is read whatever its size.
    loaded_ = true;
    size_ = -1;
    return Look::kMissing;
  }
  const int64_t mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (loaded_ && st.st_ino == inode_ && mtimeNs == mtimeNs_ && st.st_size == size_) return Look::kUnchanged;
  // RegularFile refuses a link, a FIFO or anything but a regular file
  // without waiting on it.
  if (const int err = RegularFile::Read(path_, text); err != 0) {
    loaded_ = false;
    *error = err;
    if (firstFailure != nullptr) *firstFailure = !failureReported_;
    failureReported_ = true;
    return Look::kUnreadable;
  }
  failureReported_ = false;
  loaded_ = true;
  inode_ = st.st_ino;
  mtimeNs_ = mtimeNs;
  size_ = st.st_size;
  return Look::kRead;
}

int WatchedFile::Edit(const std::function<bool(std::string& text, std::string* error)>& change,
                      std::string* error) const {
  const FileLock lock(path_ + ".lock");
  if (!lock.Held()) {
    *error = lock.Error();
    return lock.ErrorNumber();
  }
  std::string text;
  if (const int err = RegularFile::Read(path_, &text); err != 0 && err != ENOENT) {
    *error = "cannot read " + RegularFile::Describe(path_, err);
    return err;
  }
  error->clear();
  if (!change(text, error)) return error->empty() ? 0 : EINVAL;  // refused, or nothing to change
  const int rc = AtomicFile::WriteKeepingOwner(path_, text, 0600);
  if (rc != 0) *error = StringPrintf("cannot write %s: %s", path_.c_str(), std::strerror(rc));
  return rc;
}

}  // namespace orla
