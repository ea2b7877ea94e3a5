#pragma once
// RequestBucket: the pace of a discovery run's SNMP requests. Each datagram
// the run sends (each try of a request, see SnmpMgrPacer) first takes a
// slot here; slots lie 1/rate seconds apart on the given clock, so the run
// never sends more than `rate` requests in a second, however many threads
// ask at once and however often they retry. A thread that takes a slot in
// the future waits for it on the clock; setting the stop event ends every
// wait, and no slot is handed out after it.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>

#include "platform/snmpmgr/snmp_mgr.h"
#include "platform/sync/clock.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class RequestBucket : public SnmpMgrPacer {
 public:
  // `perSecond` of at least 1; the system's clock when `clock` is null.
  RequestBucket(int perSecond, ManualResetEvent& stop, Clock* clock = nullptr);

  // Waits for the next slot: true when it came, false when the stop event
  // was set first.
  bool Take();
  bool BeforeSend() override { return Take(); }

  // Slots handed out so far.
  uint64_t Taken() const;
  // The most slots handed out within any one second so far.
  uint64_t PeakPerSecond() const;

 private:
  const std::chrono::nanoseconds interval_;
  ManualResetEvent& stop_;
  Clock* const clock_;
  mutable std::mutex mutex_;
  Clock::SteadyTime next_{};
  bool started_ = false;
  uint64_t taken_ = 0;
  uint64_t peak_ = 0;
  std::deque<Clock::SteadyTime> lastSecond_;  // the slots of the second before the latest
};

}  // namespace orla
