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
  std::fflush(nullptr);
  std::quick_exit(exitCode);
}

}  // namespace orla
