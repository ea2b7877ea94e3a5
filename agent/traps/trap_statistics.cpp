#include "agent/traps/trap_statistics.h"

namespace orla {

TrapStatistics& TrapStatistics::Instance() {
  // Never destroyed: the listener thread may still count while the process
  // ends.
  static TrapStatistics* const statistics = new TrapStatistics();
  return *statistics;
}

}  // namespace orla
