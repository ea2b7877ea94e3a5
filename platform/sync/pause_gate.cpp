#include "platform/sync/pause_gate.h"

namespace orla {

void PauseGate::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  closed_ = true;
}

void PauseGate::Open() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = false;
  }
  opened_.notify_all();
}

void PauseGate::Pass() {
  std::unique_lock<std::mutex> lock(mutex_);
  if (!closed_) return;
  ++held_;
  opened_.wait(lock, [this] { return !closed_; });
  --held_;
}

int PauseGate::Held() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return held_;
}

}  // namespace orla
