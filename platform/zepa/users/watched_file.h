#pragma once
// WatchedFile: one of the users' wing's small files (the users file, the
// user tokens file) as the server and the users tool share it. The server
// reads it again only when it changed (another inode, size or modification
// time); a change is made under an exclusive lock of "<file>.lock": the
// file is read, edited by the caller and rewritten whole and atomically,
// keeping the old file's owner and mode (a new file is owner-only), so that
// the tool and the server never lose each other's changes.
//
// Not thread-safe: its owner serialises the calls of Reread.
#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <string>

namespace orla {

class WatchedFile {
 public:
  explicit WatchedFile(std::string path);

  const std::string& Path() const { return path_; }
  bool Exists() const;

  // Looks whether the file changed since it was last read and, when it did,
  // reads it into *text and returns true: the owner replaces what it read
  // before with what *text holds. A missing file reads as empty, and so
  // does one that is there but cannot be read (its owner must not go on
  // with a list that may be out of date); that failure is logged as
  // CRITICAL once until the file is read again, with `unreadableFormat`
  // (one %s: the file and why) and tried again at the next call.
  bool Reread(std::string* text, const char* unreadableFormat);

  // Under the lock: reads the file (empty when missing), lets `change` edit
  // the text and writes it back when `change` returns true. `change`
  // returns false either to leave the file alone (0 is returned) or, after
  // setting *error, to refuse the change (EINVAL). Otherwise returns 0, or
  // an errno value with *error describing the failure.
  int Edit(const std::function<bool(std::string& text, std::string* error)>& change, std::string* error) const;

 private:
  std::string path_;
  bool loaded_ = false;
  ino_t inode_ = 0;
  int64_t mtimeNs_ = 0;
  off_t size_ = -1;
  bool failureReported_ = false;
};

}  // namespace orla
