#include "platform/sysinfo/open_file_limit.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>

namespace orla {

namespace {

uint64_t AsLimit(rlim_t value) { return value == RLIM_INFINITY ? UINT64_MAX : static_cast<uint64_t>(value); }

// The most files one process may open at all (fs.nr_open): a hard limit of
// "infinity" cannot be taken as the soft limit, this can.
rlim_t KernelMaximum() {
  unsigned long long maximum = 0;
  if (FILE* in = std::fopen("/proc/sys/fs/nr_open", "re")) {
    if (std::fscanf(in, "%llu", &maximum) != 1) maximum = 0;
    std::fclose(in);
  }
  return maximum > 0 ? static_cast<rlim_t>(maximum) : static_cast<rlim_t>(1048576);
}

}  // namespace

uint64_t OpenFileLimit::Current() {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) return 0;
  return AsLimit(limit.rlim_cur);
}

uint64_t OpenFileLimit::Raise(uint64_t* before) {
  struct rlimit limit {};
  if (getrlimit(RLIMIT_NOFILE, &limit) != 0) {
    if (before != nullptr) *before = 0;
    return 0;
  }
  if (before != nullptr) *before = AsLimit(limit.rlim_cur);
  rlim_t wanted = limit.rlim_max;
  if (wanted == RLIM_INFINITY) wanted = KernelMaximum();
  if (limit.rlim_cur != RLIM_INFINITY && limit.rlim_cur < wanted) {
    struct rlimit raised = limit;
    raised.rlim_cur = wanted;
    if (setrlimit(RLIMIT_NOFILE, &raised) == 0) limit = raised;
  }
  return AsLimit(limit.rlim_cur);
}

bool OpenFileLimit::IsReached(uint32_t error) { return error == EMFILE || error == ENFILE; }

}  // namespace orla
