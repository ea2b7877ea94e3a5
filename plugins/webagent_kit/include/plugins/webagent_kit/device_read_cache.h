#pragma once
// What a device web agent read from a device, shared between viewers: at
// most one read of a device (per community and page kind) runs at a time,
// viewers who ask while it runs wait for it and get its result, and a
// result is kept for a short while (the lifetime) for the viewers after
// them. So N viewers of one device page cost about one read, and a silent
// device makes N viewers wait for one time-out, not N.
//
// `Reading` is what one module reads for a page (the Fibre Alliance
// module's units and ports, the library module's library), with an
// `errorCode` and `errorMessage` for a read that failed; `Kind` the
// module's kinds of page (an enumeration). A reading is kept whatever it
// says, an SNMP failure included: the device that just did not answer is
// not asked again by every viewer. A change made on a device drops its
// readings (Drop); a read that was under way when that happened still
// answers its own waiters, but is not kept, since it may show the device as
// it was before the change.
//
// Keys. A reading is kept under the device's address, the community it was
// read with and the kind of page, so a reading made with one community
// never answers a request made with another.
//
// Bounds. At most kMaxEntries readings are kept; expired ones go first, and
// when every kept one is still fresh a new one is handed out without being
// kept.
//
// Threads. Every member may be called from any thread. The read runs
// without the cache's lock; readings are immutable once made and shared by
// shared_ptr, so a reading handed out stays valid after it is dropped.
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "agent/core/orla_exception.h"
#include "platform/sync/clock.h"

namespace orla {

template <typename Reading, typename Kind>
class DeviceReadCache {
 public:
  using Reader = std::function<Reading()>;

  static constexpr std::chrono::milliseconds kLifetime{3000};
  static constexpr size_t kMaxEntries = 256;

  // Ages the readings on `clock` (the system's when null).
  explicit DeviceReadCache(std::chrono::milliseconds lifetime = kLifetime, Clock* clock = nullptr)
      : lifetime_(lifetime), clock_(Clock::Or(clock)) {}
  DeviceReadCache(const DeviceReadCache&) = delete;
  DeviceReadCache& operator=(const DeviceReadCache&) = delete;

  // The reading of `machine` with `community` for `kind`: a kept one still
  // within its lifetime, else the one under way, else a new one made by
  // `read` on this thread. An exception from `read` passes to this caller
  // only; the callers waiting for it make a read of their own.
  std::shared_ptr<const Reading> Get(const std::string& machine, const std::string& community, Kind kind,
                                     const Reader& read) {
    const Key key(machine, community + '\n' + std::to_string(static_cast<int>(kind)));
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      auto it = entries_.find(key);
      if (it == entries_.end()) {
        if (!MakeRoom(clock_->SteadyNow())) {
          // Full of fresh readings: this one is read and handed out unkept.
          ++readsStarted_;
          lock.unlock();
          return std::make_shared<const Reading>(read());
        }
        it = entries_.emplace(key, Entry{}).first;
      }
      Entry& entry = it->second;
      if (entry.reading && clock_->SteadyNow() - entry.madeAt < lifetime_) return entry.reading;
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
      Land(key, flight, nullptr);
      throw;
    }
    lock.lock();
    Land(key, flight, result);
    return result;
  }

  // Forgets every reading of `machine`: the next viewer reads it anew.
  void Drop(const std::string& machine) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.lower_bound(Key(machine, std::string()));
    while (it != entries_.end() && it->first.first == machine) it = entries_.erase(it);
  }

  // How many reads Get has started (for tests and benchmarks).
  size_t ReadsStarted() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return readsStarted_;
  }

  // A reading made by `work`; an SNMP failure (an OrlaException pointer)
  // empties it and becomes its errorCode and errorMessage, so the page can
  // say how the device answered.
  static Reading Made(const std::function<void(Reading*)>& work) {
    Reading reading;
    if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { work(&reading); })) {
      reading = Reading{};
      reading.errorCode = failed->Code();
      reading.errorMessage = failed->Message();
    }
    return reading;
  }

  // The one cache a module's requests share.
  static DeviceReadCache& Shared() {
    static DeviceReadCache cache;
    return cache;
  }

 private:
  // One read under way; its waiters hold it until it is done.
  struct Flight {
    bool done = false;
    std::shared_ptr<const Reading> result;
  };
  struct Entry {
    std::shared_ptr<const Reading> reading;
    Clock::SteadyTime madeAt;
    std::shared_ptr<Flight> flight;
  };
  using Key = std::pair<std::string, std::string>;  // machine, community + kind

  // Ends `flight` with `result` (null: the read threw) under the lock. The
  // result is kept only when no Drop came in between: the entry is still
  // this read's.
  void Land(const Key& key, const std::shared_ptr<Flight>& flight, std::shared_ptr<const Reading> result) {
    auto it = entries_.find(key);
    if (it != entries_.end() && it->second.flight == flight) {
      it->second.flight.reset();
      if (result) {
        it->second.reading = result;
        it->second.madeAt = clock_->SteadyNow();
      }
    }
    flight->result = std::move(result);
    flight->done = true;
    finished_.notify_all();
  }

  // Room for one more entry: removes expired ones without a read under
  // way. False when the table is still full.
  bool MakeRoom(Clock::SteadyTime now) {
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

  const std::chrono::milliseconds lifetime_;
  Clock* const clock_;
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::map<Key, Entry> entries_;
  size_t readsStarted_ = 0;
};

}  // namespace orla
