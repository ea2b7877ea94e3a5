#include "device_read_cache.h"

namespace orla {

DeviceReadCache::DeviceReadCache(std::chrono::milliseconds lifetime, Clock clock)
    : lifetime_(lifetime), clock_(std::move(clock)) {}

std::shared_ptr<const DeviceReadCache::Reading> DeviceReadCache::Get(const std::string& machine,
                                                                    const std::string& community, Kind kind,
                                                                    const Reader& read) {
  const Key key(machine, community + '\n' + std::to_string(static_cast<int>(kind)));
  std::unique_lock<std::mutex> lock(mutex_);
  for (;;) {
    auto it = entries_.find(key);
    if (it == entries_.end()) {
      if (!MakeRoom(clock_())) {
        // Full of fresh readings: this one is read and handed out unkept.
        ++readsStarted_;
        lock.unlock();
        return std::make_shared<const Reading>(read());
      }
      it = entries_.emplace(key, Entry{}).first;
    }
    Entry& entry = it->second;
    if (entry.reading && clock_() - entry.madeAt < lifetime_) return entry.reading;
    if (!entry.flight) break;
    // Another viewer is reading the device: its result is ours.
    const std::shared_ptr<Flight> flight = entry.flight;
    finished_.wait(lock, [&] { return flight->done; });
    if (flight->result) return flight->result;
    // That read failed with an exception: try again, perhaps as the reader.
  }

  auto flight = std::make_shared<Flight>();
  entries_[key].flight = flight;
  ++readsStarted_;
  lock.unlock();
  std::shared_ptr<const Reading> result;
  try {
    result = std::make_shared<const Reading>(read());
  } catch (...) {
    lock.lock();
    auto it = entries_.find(key);
    if (it != entries_.end() && it->second.flight == flight) it->second.flight.reset();
    flight->done = true;
    finished_.notify_all();
    throw;
  }
  lock.lock();
  // Kept only when no Drop came in between: the entry is still this read's.
  auto it = entries_.find(key);
  if (it != entries_.end() && it->second.flight == flight) {
    it->second.flight.reset();
    it->second.reading = result;
    it->second.madeAt = clock_();
  }
  flight->result = result;
  flight->done = true;
  finished_.notify_all();
  return result;
}

void DeviceReadCache::Drop(const std::string& machine) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.lower_bound(Key(machine, std::string()));
  while (it != entries_.end() && it->first.first == machine) it = entries_.erase(it);
}

bool DeviceReadCache::MakeRoom(std::chrono::steady_clock::time_point now) {
  if (entries_.size() < kMaxEntries) return true;
  for (auto it = entries_.begin(); it != entries_.end();) {
    const Entry& entry = it->second;
    if (!entry.flight && (!entry.reading || now - entry.madeAt >= lifetime_)) {
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
  return entries_.size() < kMaxEntries;
}

size_t DeviceReadCache::ReadsStarted() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return readsStarted_;
}

DeviceReadCache& DeviceReadCache::Shared() {
  static DeviceReadCache cache;
  return cache;
}

}  // namespace orla
