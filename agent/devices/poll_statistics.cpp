#include "agent/devices/poll_statistics.h"

namespace orla {

PollStatistics& PollStatistics::Instance() {
  // Never destroyed: polling threads may still count while the process ends.
  static PollStatistics* const statistics = new PollStatistics();
  return *statistics;
}

}  // namespace orla
