#pragma once
// The running process's own figures for the metrics page, read from /proc
// and getrlimit: resident memory, CPU time, open file descriptors and their
// limit, threads, and the start time. A figure that cannot be read is -1.
#include <cstdint>

namespace orla {

class ProcessStats {
 public:
  struct Figures {
    int64_t residentBytes = -1;
    double cpuSeconds = -1;
    int64_t openFiles = -1;
    int64_t maxFiles = -1;  // the soft limit; -1 also when unlimited
    int64_t threads = -1;
    double startTimeSeconds = -1;  // since the epoch
  };

  static Figures Read();
};

}  // namespace orla
