#pragma once
// Counts per key (an element's address, a trap destination) for the metrics
// page. Bounded: past kMaxKeys distinct keys, new keys are counted under
// kOtherKey, so a flood of traps from ever new addresses cannot grow it
// without end. Thread-safe.
#include <cstddef>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace orla {

class KeyedCounter {
 public:
  static constexpr size_t kMaxKeys = 20000;
  static constexpr const char* kOtherKey = "(other)";

  void Add(const std::string& key, uint64_t amount = 1);
  std::map<std::string, uint64_t> Snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, uint64_t> counts_;
};

}  // namespace orla
