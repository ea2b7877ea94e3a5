#pragma once
// The status refresh that follows logged traps, on a thread of its own, so
// that the trap listener goes on logging while devices answer or time out.
// Requests coalesce: a request made while no refresh is waiting to start
// queues one; further requests before it starts add nothing. So a request
// made while a refresh runs leads to at most one more refresh after it, and
// a burst of traps costs one or two refreshes, not one per trap.
#include <atomic>
#include <cstdint>
#include <functional>

#include "platform/sync/worker_thread.h"

namespace orla {

class StatusRefresher {
 public:
  // `refresh` runs on the refresher's thread and must catch what it throws.
  explicit StatusRefresher(std::function<void()> refresh);
  // Waits for a refresh that runs, and one that waits, to end.
  ~StatusRefresher() = default;
  StatusRefresher(const StatusRefresher&) = delete;
  StatusRefresher& operator=(const StatusRefresher&) = delete;

  void Request();
  // Refreshes run so far.
  uint64_t Completed() const { return completed_.load(); }
  // Waits until no refresh runs or waits.
  void WaitIdle() { worker_.WaitIdle(); }

 private:
  std::function<void()> refresh_;
  std::atomic<bool> queued_{false};
  std::atomic<uint64_t> completed_{0};
  // Last: destroyed first, so its thread ends before the members it uses.
  WorkerThread worker_;
};

}  // namespace orla
