#include "change_feed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "agent/core/audit_trail.h"
#include "event_log_file_reader.h"
#include "platform/text/regular_file.h"

namespace orla {

ChangeFeed::ChangeFeed(int64_t sinceMs, pid_t self) : sinceMs_(sinceMs), self_(self) {}

size_t ChangeFeed::CatchUp(EventRing& ring) { return CatchUp(ring, AuditTrail::ChangeFilePaths()); }

uint64_t ChangeFeed::Take(int fd, uint64_t offset, uint64_t end, EventRing& ring, size_t* taken) {
  end = std::min<uint64_t>(end, offset + kMaxReadBytes);
  if (end <= offset) return offset;
  std::string data(static_cast<size_t>(end - offset), '\0');
  const ssize_t n = ::pread(fd, data.data(), data.size(), static_cast<off_t>(offset));
  if (n <= 0) return offset;
  data.resize(static_cast<size_t>(n));
  // Whole lines only: one still being written is read next time.
  const size_t last = data.rfind('\n');
  if (last == std::string::npos) return offset;
  size_t start = 0;
  while (start <= last) {
    const size_t stop = data.find('\n', start);
    const std::string line = data.substr(start, stop - start);
    start = stop + 1;
    RecordedEvent event;
    std::string pid;
    if (!EventLogFileReader::ParseLine(line, &event) || event.origin.kind != "change" || event.timeMs < sinceMs_ ||
        !EventLogFileReader::FieldOf(line, "pid", &pid) || std::atol(pid.c_str()) == static_cast<long>(self_)) {
      continue;
    }
    ring.Append(event.timeMs, event.severity, std::move(event.origin), std::move(event.text));
    ++*taken;
  }
  return offset + last + 1;
}

size_t ChangeFeed::CatchUp(EventRing& ring, const std::vector<std::string>& paths) {
  if (paths.empty()) return 0;
  std::lock_guard<std::mutex> hold(mutex_);
  int live = -1;
  if (RegularFile::Open(paths[0], O_RDONLY, 0, &live) != 0) return 0;
  struct stat st;
  if (::fstat(live, &st) != 0) {
    ::close(live);
    return 0;
  }
  size_t taken = 0;
  if (started_ && (st.st_dev != device_ || st.st_ino != inode_)) {
    // Rotated since the last call: the rest of the file read last time is
    // now an older one.
    for (size_t age = 1; age < paths.size(); ++age) {
      int older = -1;
      if (RegularFile::Open(paths[age], O_RDONLY, 0, &older) != 0) continue;
      struct stat old;
      if (::fstat(older, &old) == 0 && old.st_dev == device_ && old.st_ino == inode_) {
        Take(older, offset_, static_cast<uint64_t>(old.st_size), ring, &taken);
        ::close(older);
        break;
      }
      ::close(older);
    }
    offset_ = 0;
  }
  if (!started_ || static_cast<uint64_t>(st.st_size) < offset_) offset_ = 0;
  started_ = true;
  device_ = st.st_dev;
  inode_ = st.st_ino;
  offset_ = Take(live, offset_, static_cast<uint64_t>(st.st_size), ring, &taken);
  ::close(live);
  return taken;
}

}  // namespace orla
