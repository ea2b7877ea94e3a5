#pragma once
// Whole-file rewrites that a crash can never leave half written: the new
// contents go to a temporary file in the same folder, are flushed to disk with
// fsync, and replace the old file with rename.
#include <sys/types.h>

#include <string>

namespace orla {

class AtomicFile {
 public:
  // Replaces `path` with `contents`. Returns 0 on success, otherwise the errno
  // of the step that failed; the old file is then untouched.
  static int Write(const std::string& path, const std::string& contents);
  // The same, the new file getting the permission bits `mode` (e.g. 0600 for
  // files only their owner may read) from the moment it is created.
  static int Write(const std::string& path, const std::string& contents, mode_t mode);
  // The same, the new file keeping the permission bits, owner and group of
  // the file it replaces (a missing file: `mode` and the writer's owner).
  static int WriteKeepingOwner(const std::string& path, const std::string& contents, mode_t mode);
  // The same for a file that holds what others must not read (communities,
  // addresses): it keeps the owner, group and the owner's and group's
  // permission bits of the file it replaces, never any bits for others, so
  // a file that was world-readable stops being so (a missing file: 0640).
  static int WritePrivate(const std::string& path, const std::string& contents);
  // Deletes the temporary files that rewrites of `path` left behind when the
  // process was killed between creating and renaming them ("<path>.tmp" and
  // six characters, in the same folder). Only call it while nothing else can
  // be rewriting `path` (the agent does at start). Returns how many went.
  static int RemoveLeftovers(const std::string& path);
};

}  // namespace orla
