#include "element_poller.h"

#include <cerrno>
#include <chrono>
#include <memory>
#include <system_error>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "element_state.h"
#include "platform/sync/clock.h"

namespace orla {

ElementPoller::ElementPoller(std::shared_ptr<ElementState> state, std::function<void()> retry)
    : state_(std::move(state)), clock_(&state_->Time()), retry_(std::move(retry)) {
  try {
    thread_ = std::thread(&ElementPoller::Run, this);
  } catch (const std::system_error& e) {
    throw new OrlaException(kErrThread, static_cast<uint32_t>(e.code().value()), kMsgThread);
  }
}

ElementPoller::~ElementPoller() {
  Stop();
  if (thread_.joinable()) thread_.join();
}

void ElementPoller::Stop() {
  stopping_.store(true);
  state_->Retire();
  state_->Wake();
}

void ElementPoller::Run() {
  // Seconds the last retry took: retries start one interval apart, so a
  // device that answers is bound within one interval even when a retry was
  // waiting out a silent device's time-outs at that moment.
  int64_t lastRetry = 0;
  for (;;) {
    // The interval is read anew for every wait, so a new interval applies
    // from the next wait on.
    // An interval below one second (the registry does not check the range)
    // must not turn into a busy loop.
    const int64_t seconds = state_->PollingInterval() - lastRetry;
    if (clock_->WaitFor(state_->WakeEvent(), std::chrono::seconds(seconds > 1 ? seconds : 1))) {
      // Reset before looking at the stop flag: a stop that sets the event
      // again after this has set the flag first.
      state_->WakeEvent().Reset();
      if (stopping_.load()) break;
      // Only an unbound element is woken to act early.
      if (!retry_) continue;
    }

    if (retry_) {
      if (!state_->BeginPoll()) break;
      const uint32_t start = clock_->WallSeconds();
      try {
        retry_();
      } catch (...) {
        // The retry reports what it must itself; the next one comes.
      }
      lastRetry = static_cast<int64_t>(clock_->WallSeconds()) - static_cast<int64_t>(start);
      if (lastRetry < 0) lastRetry = 0;  // the clock was set back
      continue;
    }

    const uint32_t stamp = state_->TrapReceiverStamp();
    if (stamp != 0) {
      const auto now = static_cast<uint64_t>(clock_->WallSeconds());
      if (now < static_cast<uint64_t>(stamp) + kStampHoldOff) continue;
      // The trap-target page may store a fresh stamp at this very moment:
      // only the expired one is cleared, a fresh one holds off this cycle.
      if (!state_->ClearTrapReceiverStamp(stamp)) continue;
    }

    if (!state_->BeginPoll()) break;
    try {
      state_->ReportChange(state_->Poll(true, true));
    } catch (OrlaException* e) {
      // Already logged where it arose.
      std::unique_ptr<OrlaException> owned(e);
    } catch (...) {
      // Nothing may end the process from a polling thread.
    }
  }
  finished_.store(true);
}

}  // namespace orla
