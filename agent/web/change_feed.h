#pragma once
// Takes the changes the agent's tools write to the change file (AuditTrail)
// into the agent's ring of recent events, so the events console's first
// page shows a tool's change made while the agent runs beside the agent's
// own events. CatchUp reads what was appended to the live change file since
// its last call (the rest of the file a rotation renamed first), at most
// kMaxReadBytes a call, whole lines only; it takes the lines of other
// processes (the agent's own changes are in the ring already) written since
// the agent started. The first call reads the live file from its start.
// Thread-safe.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "agent/core/event_ring.h"

namespace orla {

class ChangeFeed {
 public:
  static constexpr size_t kMaxReadBytes = 1024 * 1024;

  // Takes lines written at or after `sinceMs` by processes other than `self`.
  ChangeFeed(int64_t sinceMs, pid_t self);

  // Appends the new changes of `paths` (the live change file first, then
  // its older files: AuditTrail::ChangeFilePaths) to `ring`; answers how
  // many.
  size_t CatchUp(EventRing& ring, const std::vector<std::string>& paths);
  // The same for the process's change file.
  size_t CatchUp(EventRing& ring);

 private:
  // Reads `fd` from `offset` to `end` (whole lines) into `ring`; answers the
  // offset after the last whole line read.
  uint64_t Take(int fd, uint64_t offset, uint64_t end, EventRing& ring, size_t* taken);

  const int64_t sinceMs_;
  const pid_t self_;
  std::mutex mutex_;
  bool started_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  uint64_t offset_ = 0;
};

}  // namespace orla
