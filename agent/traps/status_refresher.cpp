#include "agent/traps/status_refresher.h"

#include <algorithm>

namespace orla {

namespace {

// How long an idle refresher sleeps between looks at its clock; a request
// wakes it at once.
constexpr std::chrono::hours kIdleWait{1};
// Remembered elements beyond this many are swept of those whose interval
// has passed.
constexpr size_t kSweepAbove = 256;

}  // namespace

StatusRefresher::StatusRefresher(std::function<void()> refreshAll,
                                 std::function<void(const std::string&)> refreshOne,
                                 std::chrono::milliseconds interval, Clock* clock)
    : refreshAll_(std::move(refreshAll)),
      refreshOne_(std::move(refreshOne)),
      interval_(std::max(interval, std::chrono::milliseconds(0))),
      clock_(Clock::Or(clock)),
      thread_(&StatusRefresher::Run, this) {}

StatusRefresher::~StatusRefresher() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  wake_.Set();
  thread_.join();
}

bool StatusRefresher::PassAllowed(Clock::SteadyTime now) const {
  return !passRunning_ && (!lastPassEnd_.has_value() || now >= *lastPassEnd_ + interval_);
}

void StatusRefresher::Request(const std::string& address) {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    if (stopping_) return;
    passWanted_ = true;
    const Clock::SteadyTime now = clock_->SteadyNow();
    // A pass that begins now covers the element; otherwise the element may
    // go first, once per interval.
    if (!PassAllowed(now)) {
      if (lastSingle_.size() > kSweepAbove) {
        std::erase_if(lastSingle_, [&](const auto& entry) { return now >= entry.second + interval_; });
      }
      const auto it = lastSingle_.find(address);
      const bool queued = std::find(singles_.begin(), singles_.end(), address) != singles_.end();
      if (!queued && (it == lastSingle_.end() || now >= it->second + interval_)) {
        lastSingle_[address] = now;
        singles_.push_back(address);
      }
    }
  }
  wake_.Set();
}

void StatusRefresher::Run() {
  std::unique_lock<std::mutex> hold(mutex_);
  while (!stopping_) {
    const Clock::SteadyTime now = clock_->SteadyNow();
    if (passWanted_ && PassAllowed(now)) {
      // Every element waiting for a lone refresh is in this pass.
      passWanted_ = false;
      singles_.clear();
      busy_ = passRunning_ = true;
      hold.unlock();
      refreshAll_();
      hold.lock();
      lastPassEnd_ = clock_->SteadyNow();
      ++passes_;
      busy_ = passRunning_ = false;
      continue;
    }
    if (!singles_.empty()) {
      const std::string address = std::move(singles_.front());
      singles_.pop_front();
      busy_ = true;
      hold.unlock();
      refreshOne_(address);
      hold.lock();
      ++singleCount_;
      busy_ = false;
      continue;
    }
    idle_.notify_all();
    // Reset under the mutex: a request from here on sets it again and ends
    // the wait below.
    wake_.Reset();
    const auto wait = std::max(passWanted_ && lastPassEnd_.has_value()
                                   ? std::chrono::ceil<std::chrono::milliseconds>(*lastPassEnd_ + interval_ - now)
                                   : std::chrono::duration_cast<std::chrono::milliseconds>(kIdleWait),
                               std::chrono::milliseconds(0));
    waitingUntil_ = now + wait;
    hold.unlock();
    clock_->WaitFor(wake_, wait);
    hold.lock();
    waitingUntil_.reset();
  }
  idle_.notify_all();
}

uint64_t StatusRefresher::Completed() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return passes_;
}

uint64_t StatusRefresher::SingleRefreshes() const {
  std::lock_guard<std::mutex> hold(mutex_);
  return singleCount_;
}

void StatusRefresher::WaitIdle() {
  std::unique_lock<std::mutex> hold(mutex_);
  idle_.wait(hold, [this] { return stopping_ || (!busy_ && !passWanted_ && singles_.empty()); });
}

void StatusRefresher::WaitSettled() {
  std::unique_lock<std::mutex> hold(mutex_);
  // The clock may be a test's, which does not wake this wait: look again
  // every few milliseconds.
  while (!stopping_ &&
         !(waitingUntil_.has_value() && !wake_.IsSet() && clock_->SteadyNow() < *waitingUntil_)) {
    idle_.wait_for(hold, std::chrono::milliseconds(2));
  }
}

}  // namespace orla
