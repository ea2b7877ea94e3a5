#pragma once
// Lets a tool started as root act as the owner of a data directory. The
// agent runs as an unprivileged system user that owns its data directory;
// files root made there (the users file, its lock) would be root's and
// owner-only, so the agent could no longer read them. Becoming the owner
// (supplementary groups dropped, then group and user id set, for good) before
// any file is touched makes every file the tool creates or replaces the
// owner's, with the owner's permissions, and keeps root's rights away from a
// folder the unprivileged user controls (no link planted there can make root
// write elsewhere). Files root left there earlier (the users file and its
// lock, owned by root) are handed to the owner first; one with more than one
// name (a hard link) is refused, as it may be another of root's files.
#include <string>
#include <vector>

namespace orla {

class DirectoryOwner {
 public:
  // When the process runs as root and `directory` (or, while it does not
  // exist, the folder that would hold it) belongs to another user: gives
  // `ownedFiles` in it that are root's to that user and becomes that user.
  // True when there was nothing to do or the switch succeeded; false with
  // *error otherwise (the process must then touch nothing).
  static bool Become(const std::string& directory, const std::vector<std::string>& ownedFiles, std::string* error);

  // The folder whose owner counts for `directory`: itself when it exists,
  // else its parent folder.
  static std::string Governing(const std::string& directory);
};

}  // namespace orla
