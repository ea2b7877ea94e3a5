#pragma once
// Opening a file of the agent's folders only when it is a regular file. A
// symbolic link planted as the last part of the path is never followed (so
// no write lands on a file elsewhere), and the open never blocks: a FIFO or
// device put in the file's place is opened without waiting, seen not to be
// a regular file and closed, so a reader is never left hanging on it. Once
// the file is known to be regular the descriptor is made blocking again.
#include <sys/types.h>

#include <cstddef>
#include <string>

namespace orla {

class RegularFile {
 public:
  // Error numbers of our own beside the system's (which are positive).
  static constexpr int kNotRegular = -1;    // a FIFO, device, socket or folder
  static constexpr int kSymbolicLink = -2;  // a link, not followed

  // Opens `path` with `flags` (O_RDONLY, O_RDWR | O_CREAT, ...; O_NOFOLLOW,
  // O_NONBLOCK and O_CLOEXEC are added, O_NOFOLLOW left out when
  // `followLink`) and `mode` for a file it creates. Returns 0 with the
  // descriptor in *fd, or an error number (errno, kNotRegular or
  // kSymbolicLink) with *fd -1.
  static int Open(const std::string& path, int flags, mode_t mode, int* fd, bool followLink = false);
  // Reads the whole regular file `path` into *text (at most `maxBytes`:
  // EFBIG beyond). Returns 0 or the error number, ENOENT for a missing file.
  static constexpr size_t kMaxReadBytes = 64 * 1024 * 1024;
  static int Read(const std::string& path, std::string* text, bool followLink = false,
                  size_t maxBytes = kMaxReadBytes);
  // "it is not a regular file", "it is a symbolic link, which is not
  // followed" or the system's message for an error number of Open or Read.
  static std::string ErrorText(int error);
  // "PATH: " and ErrorText.
  static std::string Describe(const std::string& path, int error);
};

}  // namespace orla
