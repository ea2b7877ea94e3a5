#pragma once
// The status refresh that follows logged traps, on a thread of its own, so
// that the trap listener goes on logging while devices answer or time out.
//
// A trap asks for a pass over every element, and the passes are spaced:
// at most one runs at a time, and one begins no sooner than the interval
// after the previous one ended. Requests made meanwhile merge into the one
// pass that waits for its time, so a flood of traps costs one pass per
// interval, however fast it comes. The element a trap came from may be
// refreshed on its own at once while the pass waits (or runs), but no
// element more often than once per interval: a trap still shows in its
// element's status soon, and a spoofed flood naming one element costs that
// element one more poll per interval. The first trap after a quiet interval
// starts a pass at once, which covers its element too.
//
// The clock is passed in so that tests need not wait for the interval.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <unordered_map>

#include "platform/sync/clock.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class StatusRefresher {
 public:
  static constexpr std::chrono::seconds kDefaultInterval{10};

  // `refreshAll` (the pass) and `refreshOne` (one element, by address) run
  // on the refresher's thread and must catch what they throw. `interval` is
  // timed on `clock` (the system's when null).
  StatusRefresher(std::function<void()> refreshAll, std::function<void(const std::string&)> refreshOne,
                  std::chrono::milliseconds interval = kDefaultInterval, Clock* clock = nullptr);
  // Waits for a refresh that runs to end; one still waiting for its time is
  // dropped.
  ~StatusRefresher();
  StatusRefresher(const StatusRefresher&) = delete;
  StatusRefresher& operator=(const StatusRefresher&) = delete;

  // A trap from the element at `address` was logged.
  void Request(const std::string& address);
  // Passes and lone element refreshes run so far.
  uint64_t Completed() const;
  uint64_t SingleRefreshes() const;
  // Waits until no refresh runs or waits for its time (with the system's
  // clock that may be up to one interval).
  void WaitIdle();
  // Waits until the refresher waits for a request or for its next pass's
  // time, with nothing left to do before (for tests that move the clock).
  void WaitSettled();

 private:
  void Run();
  // Whether a pass may begin at `now`; under the mutex.
  bool PassAllowed(Clock::SteadyTime now) const;

  const std::function<void()> refreshAll_;
  const std::function<void(const std::string&)> refreshOne_;
  const std::chrono::milliseconds interval_;
  Clock* const clock_;

  mutable std::mutex mutex_;
  std::condition_variable idle_;
  ManualResetEvent wake_;
  bool stopping_ = false;
  bool busy_ = false;
  bool passRunning_ = false;
  bool passWanted_ = false;
  std::optional<Clock::SteadyTime> lastPassEnd_;
  // While the thread waits: until when.
  std::optional<Clock::SteadyTime> waitingUntil_;
  // Elements to refresh on their own, and when each last was.
  std::deque<std::string> singles_;
  std::unordered_map<std::string, Clock::SteadyTime> lastSingle_;
  uint64_t passes_ = 0;
  uint64_t singleCount_ = 0;
  // Last: started once the members it uses are made.
  std::thread thread_;
};

}  // namespace orla
