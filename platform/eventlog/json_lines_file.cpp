#include "platform/eventlog/json_lines_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/text/regular_file.h"

namespace orla {

namespace {

// The live file, for reading (to see how it ends) and appending; a file we
// may only write to is still written.
int Open(const std::string& path, const JsonLinesFile::Options& options, int* fd) {
  const int flags = O_RDWR | O_CREAT | O_APPEND;
  if (options.regularOnly) {
    int err = RegularFile::Open(path, flags, options.mode, fd);
    if (err == EACCES) err = RegularFile::Open(path, O_WRONLY | O_APPEND, 0, fd);
    return err;
  }
  *fd = ::open(path.c_str(), flags | O_CLOEXEC, options.mode);
  if (*fd < 0 && errno == EACCES) *fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  return *fd < 0 ? errno : 0;
}

std::string OlderPath(const std::string& path, int age) {
  return age == 0 ? path : path + "." + std::to_string(age);
}

// Moves every file one age older (the oldest is overwritten), the live one
// last: each step is one rename, so a crash between two leaves every file
// whole and at most one age missing.
void Rotate(const std::string& path, int files) {
  for (int age = files - 1; age >= 1; --age) ::rename(OlderPath(path, age - 1).c_str(), OlderPath(path, age).c_str());
}

bool SameFile(const struct stat& a, const std::string& path) {
  struct stat b;
  return ::stat(path.c_str(), &b) == 0 && a.st_ino == b.st_ino && a.st_dev == b.st_dev;
}

int AppendLine(const std::string& path, const std::string& line, const JsonLinesFile::Options& limits,
               JsonLinesFile::Step* failed) {
  const uint64_t fileLimit = limits.maxBytes / static_cast<uint64_t>(std::max(limits.files, 1));
  std::string out = line + "\n";
  for (int attempt = 0;; ++attempt) {
    // Read too, to see how the file ends; a file we may only write to is
    // still written.
    int fd = -1;
    if (const int err = Open(path, limits, &fd); err != 0) {
      *failed = JsonLinesFile::Step::kOpen;
      return err;
    }
    // Other processes (the users tool) append to the same file: the lock
    // makes the size check, a rotation and the write one step for all.
    ::flock(fd, LOCK_EX);
    struct stat st;
    if (::fstat(fd, &st) != 0) st = {};
    // Renamed away by another writer's rotation while this one waited:
    // the line goes to the new live file.
    if (attempt < 4 && !SameFile(st, path)) {
      ::close(fd);
      continue;
    }
    // The log names devices and addresses: a file left readable by everyone
    // (made by hand, or by an older version) is closed to others (and to the
    // group, for an owner-only file), when it is ours to change.
    const mode_t closed = (st.st_mode & 0007) | ((limits.mode & 0070) == 0 ? st.st_mode & 0070 : 0);
    if (closed != 0) ::fchmod(fd, st.st_mode & 07777 & ~closed);
    const uint64_t size = static_cast<uint64_t>(st.st_size);
    if (attempt < 4 && size > 0 && size + out.size() > fileLimit) {
      Rotate(path, limits.files);
      ::close(fd);
      continue;
    }
    // A line cut short by a process killed in mid-write is ended, so the
    // next one starts a line of its own.
    char last = '\n';
    if (size > 0 && ::pread(fd, &last, 1, static_cast<off_t>(size - 1)) == 1 && last != '\n') {
      out.insert(out.begin(), '\n');
    }
    // One write call with O_APPEND: lines from concurrent writers never mix.
    const ssize_t n = ::write(fd, out.data(), out.size());
    const int err = n < 0 ? errno : (static_cast<size_t>(n) != out.size() ? EIO : 0);
    ::close(fd);
    if (err != 0) *failed = JsonLinesFile::Step::kWrite;
    return err;
  }
}

}  // namespace

int JsonLinesFile::Append(const std::string& path, const std::string& line, const Options& options, Step* failed) {
  Step step = Step::kNone;
  if (failed == nullptr) failed = &step;
  *failed = Step::kNone;
  return AppendLine(path, line, options, failed);
}

std::vector<std::string> JsonLinesFile::Paths(const std::string& path, int files) {
  std::vector<std::string> paths;
  for (int age = 0; age < std::max(files, 1); ++age) paths.push_back(OlderPath(path, age));
  return paths;
}

}  // namespace orla
