#include "login_throttle.h"

namespace orla {

LoginThrottle::Entry& LoginThrottle::EntryLocked(const std::string& address, Clock::time_point now, bool* full) {
  *full = false;
  auto it = entries_.find(address);
  if (it != entries_.end()) return it->second;
  if (entries_.size() >= kMaxAddresses) {
    auto oldest = entries_.end();
    for (auto e = entries_.begin(); e != entries_.end(); ++e) {
      if (e->second.inFlight == 0 && (oldest == entries_.end() || e->second.lastSeen < oldest->second.lastSeen)) {
        oldest = e;
      }
    }
    if (oldest == entries_.end()) {
      *full = true;  // every address is mid-attempt
      return entries_.begin()->second;
    }
    entries_.erase(oldest);
  }
  return entries_.emplace(address, Entry{0, 0, now, Clock::time_point{}, now}).first->second;
}

bool LoginThrottle::OpenLocked(Entry& entry, Clock::time_point now) {
  if (now < entry.blockedUntil) return false;
  if (now - entry.windowStart >= kWindow) {
    entry.failures = 0;
    entry.windowStart = now;
  }
  return entry.failures + entry.inFlight < kMaxFailures;
}

bool LoginThrottle::Allowed(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(address);
  return it == entries_.end() || OpenLocked(it->second, now);
}

bool LoginThrottle::Begin(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  bool full = false;
  Entry& entry = EntryLocked(address, now, &full);
  if (full) return false;
  entry.lastSeen = now;
  if (!OpenLocked(entry, now)) return false;
  ++entry.inFlight;
  return true;
}

void LoginThrottle::Failed(const std::string& address, Clock::time_point now) {
  std::lock_guard<std::mutex> lock(mutex_);
  bool full = false;
  Entry& entry = EntryLocked(address, now, &full);
  if (full) return;
  if (entry.inFlight > 0) --entry.inFlight;
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
  auto it = entries_.find(address);
  if (it == entries_.end()) return;
  // Other attempts from the address may still be under way.
  Entry& entry = it->second;
  if (entry.inFlight > 0) --entry.inFlight;
  entry.failures = 0;
  entry.blockedUntil = Clock::time_point{};
  if (entry.inFlight == 0) entries_.erase(it);
}

}  // namespace orla
