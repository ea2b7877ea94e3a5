#include "agent/traps/status_refresher.h"

namespace orla {

StatusRefresher::StatusRefresher(std::function<void()> refresh) : refresh_(std::move(refresh)) {}

void StatusRefresher::Request() {
  if (queued_.exchange(true)) return;  // one is waiting to start: it covers this request
  worker_.Post([this] {
    // From here on a new request queues the next refresh: it may concern a
    // trap this refresh started too early to see.
    queued_.store(false);
    refresh_();
    completed_.fetch_add(1);
  });
}

}  // namespace orla
