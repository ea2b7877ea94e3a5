#pragma once
// An exclusive advisory lock (flock) on a lock file, held for the object's
// life: several processes (the agent's pages, its command-line tools) make
// their read-change-write of one small file one after another. The lock
// file is created owner-only when missing and is never removed, so every
// process locks the same inode. A symbolic link or anything but a regular
// file in its place is refused (RegularFile).
#include <string>

namespace orla {

class FileLock {
 public:
  // Opens `path` and waits for its lock; Held() says whether it got it.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Held() const { return fd_ >= 0; }
  // When not held: the error number (errno, or RegularFile's own) and
  // "cannot open|lock PATH: why".
  int ErrorNumber() const { return errorNumber_; }
  const std::string& Error() const { return error_; }

 private:
  int fd_ = -1;
  int errorNumber_ = 0;
  std::string error_;
};

}  // namespace orla
