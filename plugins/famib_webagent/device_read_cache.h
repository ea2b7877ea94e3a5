#pragma once
// What the device web agent read from a device, shared between viewers: at
// most one read of a device (per community and page kind) runs at a time,
// viewers who ask while it runs wait for it and get its result, and a
// result is kept for a short while (the lifetime) for the viewers after
// them. So N viewers of one device page cost about one read, and a silent
// device makes N viewers wait for one time-out, not N.
//
// A reading is kept whatever it says, an SNMP failure included: the device
// that just did not answer is not asked again by every viewer. A change
// made on a device drops its readings (Drop); a read that was under way
// when that happened still answers its own waiters, but is not kept, since
// it may show the device as it was before the change.
//
// Keys. Reading names a device and what was read: the device's address,
// the community it was read with and the kind of page, so a reading made
// with one community never answers a request made with another.
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
#include <vector>

#include "fibre_device_reader.h"

namespace orla {

class DeviceReadCache {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  // The kinds of page; each reads the units, ports and events add theirs.
  enum class Kind { kUnits, kPorts, kEvents };

  // One read of a device. errorCode is 0 when the read succeeded, else the
  // SNMP error code of the session's exception, with its message.
  struct Reading {
    std::vector<FibreDeviceReader::Unit> units;
    bool hasPorts = false;
    bool hasEvents = false;
    std::vector<std::pair<FibreDeviceReader::Unit, std::vector<FibreDeviceReader::Port>>> ports;
    std::vector<std::pair<FibreDeviceReader::Unit, std::vector<FibreDeviceReader::Event>>> events;
    int errorCode = 0;
    std::string errorMessage;
  };
  using Reader = std::function<Reading()>;

  static constexpr std::chrono::milliseconds kLifetime{3000};
  static constexpr size_t kMaxEntries = 256;

  explicit DeviceReadCache(std::chrono::milliseconds lifetime = kLifetime,
                           Clock clock = &std::chrono::steady_clock::now);
  DeviceReadCache(const DeviceReadCache&) = delete;
  DeviceReadCache& operator=(const DeviceReadCache&) = delete;

  // The reading of `machine` with `community` for `kind`: a kept one still
  // within its lifetime, else the one under way, else a new one made by
  // `read` on this thread. An exception from `read` passes to this caller
  // only; the callers waiting for it make a read of their own.
  std::shared_ptr<const Reading> Get(const std::string& machine, const std::string& community, Kind kind,
                                     const Reader& read);
  // Forgets every reading of `machine`: the next viewer reads it anew.
  void Drop(const std::string& machine);

  // How many reads Get has started (for tests and benchmarks).
  size_t ReadsStarted() const;

  // The one cache the device web agent's requests share.
  static DeviceReadCache& Shared();

 private:
  // One read under way; its waiters hold it until it is done.
  struct Flight {
    bool done = false;
    std::shared_ptr<const Reading> result;
  };
  struct Entry {
    std::shared_ptr<const Reading> reading;
    std::chrono::steady_clock::time_point madeAt;
    std::shared_ptr<Flight> flight;
  };
  using Key = std::pair<std::string, std::string>;  // machine, community + kind

  // Room for one more entry: removes expired ones without a read under
  // way. False when the table is still full.
  bool MakeRoom(std::chrono::steady_clock::time_point now);

  const std::chrono::milliseconds lifetime_;
  const Clock clock_;
  mutable std::mutex mutex_;
  std::condition_variable finished_;
  std::map<Key, Entry> entries_;
  size_t readsStarted_ = 0;
};

}  // namespace orla
