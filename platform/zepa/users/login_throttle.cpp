#include "login_throttle.h"

namespace orla {

LoginThrottle::LoginThrottle(size_t maxEntries, int maxFailures)
    : maxEntries_(maxEntries == 0 ? 1 : maxEntries), maxFailures_(maxFailures < 1 ? 1 : maxFailures) {}

// The key's entry, made when missing; null when the table is full of
// entries with attempts under way.
LoginThrottle::Entry* LoginThrottle::EntryLocked(const std::string& key, Clock::SteadyTime now) {
  auto it = entries_.find(key);
  if (it != entries_.end()) return &it->second;
  if (entries_.size() >= maxEntries_) {
    auto oldest = entries_.end();
    for (auto e = entries_.begin(); e != entries_.end(); ++e) {
      if (e->second.inFlight == 0 && (oldest == entries_.end() || e->second.lastSeen < oldest->second.lastSeen)) {
        oldest = e;
      }
    }
    if (oldest == entries_.end()) return nullptr;
    entries_.erase(oldest);
  }
  Entry entry;
  entry.windowStart = now;
  entry.lastSeen = now;
  return &entries_.emplace(key, entry).first->second;
}

void LoginThrottle::ForgetFailuresLocked(Entry& entry, Clock::SteadyTime now) {
  entry.failures = 0;
  entry.windowStart = now;
  entry.account.clear();
  entry.severalAccounts = false;
}

bool LoginThrottle::OpenLocked(Entry& entry, Clock::SteadyTime now) const {
  if (now < entry.blockedUntil) return false;
  if (now - entry.windowStart >= kWindow) ForgetFailuresLocked(entry, now);
  return entry.failures + entry.inFlight < maxFailures_;
}

bool LoginThrottle::Allowed(const std::string& key, Clock::SteadyTime now) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(key);
  return it == entries_.end() || OpenLocked(it->second, now);
}

bool LoginThrottle::Begin(const std::string& key, Clock::SteadyTime now) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry* entry = EntryLocked(key, now);
  if (entry == nullptr) return false;
  entry->lastSeen = now;
  if (!OpenLocked(*entry, now)) return false;
  ++entry->inFlight;
  return true;
}

void LoginThrottle::Failed(const std::string& key, const std::string& account, Clock::SteadyTime now) {
  std::lock_guard<std::mutex> lock(mutex_);
  Entry* entry = EntryLocked(key, now);
  if (entry == nullptr) return;
  if (entry->inFlight > 0) --entry->inFlight;
  entry->lastSeen = now;
  if (now - entry->windowStart >= kWindow) ForgetFailuresLocked(*entry, now);
  if (entry->failures == 0) {
    entry->account = account;
  } else if (entry->account != account) {
    entry->severalAccounts = true;
  }
  if (++entry->failures >= maxFailures_) {
    entry->blockedUntil = now + kBlock;
    ForgetFailuresLocked(*entry, now);
  }
}

void LoginThrottle::Succeeded(const std::string& key, const std::string& account) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(key);
  if (it == entries_.end()) return;
  // Other attempts for the key may still be under way.
  Entry& entry = it->second;
  if (entry.inFlight > 0) --entry.inFlight;
  if (entry.failures > 0 && (entry.severalAccounts || entry.account != account)) return;
  entry.failures = 0;
  entry.account.clear();
  entry.blockedUntil = Clock::SteadyTime{};
  if (entry.inFlight == 0) entries_.erase(it);
}

void LoginThrottle::Cancelled(const std::string& key) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.inFlight > 0) --it->second.inFlight;
}

}  // namespace orla
