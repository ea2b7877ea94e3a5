#pragma once
// The process's limit of open files (RLIMIT_NOFILE). A service started by
// systemd gets a soft limit of 1024 by default, while the hard limit is far
// higher: every element may need a socket and the files it reads at once,
// so the agent raises its soft limit to the hard one at start.
#include <cstdint>

namespace orla {

class OpenFileLimit {
 public:
  // The current soft limit; 0 when it cannot be read, UINT64_MAX for none.
  static uint64_t Current();
  // Raises the soft limit to the hard limit (capped at what the kernel
  // accepts). Answers the soft limit in force afterwards; `before` receives
  // the one before. Never fails: a limit that cannot be raised stays.
  static uint64_t Raise(uint64_t* before = nullptr);
  // Whether a system error number means that no file can be opened because
  // a limit of open files (the process's or the system's) is reached.
  static bool IsReached(uint32_t error);
};

}  // namespace orla
