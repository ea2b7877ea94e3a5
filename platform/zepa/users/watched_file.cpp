#include "watched_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "platform/text/atomic_file.h"
#include "platform/text/file_lock.h"
#include "platform/text/regular_file.h"
#include "platform/text/string_printf.h"
#include "../zepa_log.h"

namespace orla {

WatchedFile::WatchedFile(std::string path) : path_(std::move(path)) {}

bool WatchedFile::Exists() const {
  struct stat st {};
  return ::stat(path_.c_str(), &st) == 0;
}

bool WatchedFile::Reread(std::string* text, const char* unreadableFormat) {
  text->clear();
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    // A file made later is read whatever its size.
    const bool changed = !loaded_ || size_ != -1;
    loaded_ = true;
    size_ = -1;
    return changed;
  }
  const int64_t mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  if (loaded_ && st.st_ino == inode_ && mtimeNs == mtimeNs_ && st.st_size == size_) return false;
  // RegularFile refuses a link, a FIFO or anything but a regular file
  // without waiting on it.
  if (const int err = RegularFile::Read(path_, text); err != 0) {
    text->clear();
    loaded_ = false;
    if (!failureReported_) {
      failureReported_ = true;
      ZepaLog::Write(ZepaLog::kCritical, StringPrintf(unreadableFormat, RegularFile::Describe(path_, err).c_str()));
    }
    return true;
  }
  failureReported_ = false;
  loaded_ = true;
  inode_ = st.st_ino;
  mtimeNs_ = mtimeNs;
  size_ = st.st_size;
  return true;
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
