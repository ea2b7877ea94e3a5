#pragma once
// A manual-reset event: once set it stays set, releasing every waiter, until
// reset. TestAndReset reads and clears it in one atomic step.
#include <chrono>
#include <condition_variable>
#include <mutex>

namespace orla {

class ManualResetEvent {
 public:
  explicit ManualResetEvent(bool initiallySet = false);
  ManualResetEvent(const ManualResetEvent&) = delete;
  ManualResetEvent& operator=(const ManualResetEvent&) = delete;

  void Set();
  void Reset();
  bool IsSet() const;
  // Returns the state it had and leaves the event reset.
  bool TestAndReset();
  // Waits until the event is set.
  void Wait();
  // Waits at most `timeout`; returns true when the event is set.
  bool WaitFor(std::chrono::milliseconds timeout);

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  bool set_;
};

}  // namespace orla
