#include "source_budget.h"

#include <algorithm>

namespace orla {

SourceBudget::SourceBudget(double burst, double perSecond, size_t maxSources)
    : burst_(burst), perSecond_(perSecond), maxSources_(maxSources > 0 ? maxSources : 1) {}

SourceBudget::Entry& SourceBudget::Refilled(uint32_t source, TimePoint now) {
  auto it = entries_.find(source);
  if (it == entries_.end()) {
    if (entries_.size() >= maxSources_) {
      entries_.erase(recent_.back());
      recent_.pop_back();
    }
    recent_.push_front(source);
    it = entries_.emplace(source, Entry{burst_, now, recent_.begin()}).first;
    return it->second;
  }
  Entry& entry = it->second;
  recent_.splice(recent_.begin(), recent_, entry.recent);
  if (now > entry.refilled) {
    const double seconds = std::chrono::duration<double>(now - entry.refilled).count();
    entry.tokens = std::min(burst_, entry.tokens + seconds * perSecond_);
    entry.refilled = now;
  }
  return entry;
}

bool SourceBudget::Has(uint32_t source, TimePoint now) { return Refilled(source, now).tokens >= 1.0; }

bool SourceBudget::Spend(uint32_t source, TimePoint now) {
  Entry& entry = Refilled(source, now);
  if (entry.tokens < 1.0) return false;
  entry.tokens -= 1.0;
  return true;
}

}  // namespace orla
