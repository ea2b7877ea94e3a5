#include "platform/sysinfo/directory_owner.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "platform/text/string_printf.h"

namespace orla {

std::string DirectoryOwner::Governing(const std::string& directory) {
  struct stat st;
  if (::stat(directory.c_str(), &st) == 0 || errno != ENOENT) return directory;
  std::string path = directory;
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool DirectoryOwner::Become(const std::string& directory, const std::vector<std::string>& ownedFiles,
                            std::string* error) {
  if (::geteuid() != 0) return true;
  const std::string governing = Governing(directory);
  struct stat st;
  if (::stat(governing.c_str(), &st) != 0) {
    *error = StringPrintf("cannot check the owner of %s: %s", governing.c_str(), std::strerror(errno));
    return false;
  }
  if (st.st_uid == 0) return true;
  const uid_t uid = st.st_uid;
  const gid_t gid = st.st_gid;
  if (governing == directory) {
    for (const std::string& name : ownedFiles) {
      // Only regular files root owns, opened without following a link, and
      // with no other name: a hard link the owner planted to a file of
      // root's elsewhere (/etc/shadow) is refused, never handed over.
      const std::string path = directory + "/" + name;
      const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
      if (fd < 0) continue;
      struct stat file;
      if (::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == 0 && file.st_nlink != 1) {
        ::close(fd);
        *error = StringPrintf("%s has %ju names (hard links); a file of the users tool has one, so it is not "
                              "handed to the owner of %s. Remove it, then run the tool again.",
                              path.c_str(), static_cast<uintmax_t>(file.st_nlink), directory.c_str());
        return false;
      }
      if (::fstat(fd, &file) == 0 && S_ISREG(file.st_mode) && file.st_uid == 0 && ::fchown(fd, uid, gid) != 0) {
        const int err = errno;
        ::close(fd);
        *error = StringPrintf("cannot give %s to the owner of %s: %s", path.c_str(), directory.c_str(),
                              std::strerror(err));
        return false;
      }
      ::close(fd);
    }
  }
  // Groups first: once the user id has changed, they can no longer be set.
  if (::setgroups(1, &gid) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
    *error = StringPrintf("cannot act as the owner (user %u, group %u) of %s: %s", static_cast<unsigned>(uid),
                          static_cast<unsigned>(gid), governing.c_str(), std::strerror(errno));
    return false;
  }
  if (::getuid() != uid || ::geteuid() != uid || ::getegid() != gid || ::setuid(0) == 0) {
    *error = "cannot leave the root user for good";
    return false;
  }
  return true;
}

}  // namespace orla
