#include "platform/service/process_exit.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>

namespace orla {

void ProcessExit::Now(int exitCode) {
  // quick_exit from two threads at once is undefined, and the second would
  // end the process with its own code while the first still runs: the
  // first caller ends the process, any later one waits for that.
  static std::atomic<bool> ending{false};
  if (ending.exchange(true)) {
    for (;;) ::pause();
  }
  // Only the two standard streams are flushed, and only when no other
  // thread holds one: fflush(nullptr) waits for the lock of every stream,
  // and a thread stuck in a write (a full pipe on standard output) or
  // holding a stream for any other reason would keep a stopped agent
  // running.
  for (std::FILE* stream : {stdout, stderr}) {
    if (::ftrylockfile(stream) == 0) {
      ::fflush_unlocked(stream);
      ::funlockfile(stream);
    }
  }
  std::quick_exit(exitCode);
}

}  // namespace orla
