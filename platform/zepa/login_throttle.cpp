#include "platform/zepa/login_throttle.h"

namespace orla {

bool LoginThrottle::Allowed(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(address);
  return it == entries_.end() || now >= it->second.blockedUntil;
}

void LoginThrottle::Failed(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(address);
  if (it == entries_.end()) {
    if (entries_.size() >= kMaxAddresses) {
      auto oldest = entries_.begin();
      for (auto e = entries_.begin(); e != entries_.end(); ++e) {
        if (e->second.lastSeen < oldest->second.lastSeen) oldest = e;
      }
      entries_.erase(oldest);
    }
    it = entries_.emplace(address, Entry{0, now, Clock::time_point{}, now}).first;
  }
  Entry& entry = it->second;
  entry.lastSeen = now;
  if (now - entry.windowStart >= kWindow) {
    entry.failures = 0;
    entry.windowStart = now;
  }
  if (++entry.failures >= kMaxFailures) {
    entry.blockedUntil = now + kBlock;
    entry.failures = 0;
    entry.windowStart = now;
  }
}

void LoginThrottle::Succeeded(const std::string& address) {
  std::lock_guard<std::mutex> lock(mutex_);
  entries_.erase(address);
}

}  // namespace orla
