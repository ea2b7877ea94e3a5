#include "platform/service/process_exit.h"

#include <cstdio>
#include <cstdlib>

namespace orla {

void ProcessExit::Now(int exitCode) {
  std::fflush(nullptr);
  std::quick_exit(exitCode);
}

}  // namespace orla
