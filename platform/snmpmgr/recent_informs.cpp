#include "recent_informs.h"

namespace orla {

bool RecentInforms::Seen(const std::string& key, TimePoint now) {
  const auto found = seen_.find(key);
  return found != seen_.end() && now - found->second < kWindow;
}

void RecentInforms::Remember(const std::string& key, TimePoint now) {
  // Forget what fell out of the window, then make room.
  while (!order_.empty()) {
    const auto it = seen_.find(order_.front());
    const bool stale = it == seen_.end() || now - it->second >= kWindow;
    if (!stale && seen_.size() < capacity_) break;
    if (it != seen_.end()) seen_.erase(it);
    order_.pop_front();
  }
  const auto [it, added] = seen_.emplace(key, now);
  if (added) {
    order_.push_back(key);
  } else {
    it->second = now;
  }
}

}  // namespace orla
