#include "agent/core/keyed_counter.h"

namespace orla {

void KeyedCounter::Add(const std::string& key, uint64_t amount) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto it = counts_.find(key);
  if (it == counts_.end()) {
    it = counts_.size() < kMaxKeys ? counts_.emplace(key, 0).first : counts_.emplace(kOtherKey, 0).first;
  }
  it->second += amount;
}

std::map<std::string, uint64_t> KeyedCounter::Snapshot() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return counts_;
}

}  // namespace orla
