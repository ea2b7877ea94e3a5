#pragma once
// The registry's update-all gate held closed for one status pass, with the
// thread that runs it: callers that find it closed wait for the pass's end
// instead of starting another (the pass's own thread does not wait for
// itself). Opened again however the pass ends.
//
// Private to the device library.
#include <atomic>
#include <thread>

#include "platform/sync/manual_reset_event.h"

namespace orla {

class PassGate {
 public:
  PassGate(ManualResetEvent& gate, std::atomic<std::thread::id>& owner) : gate_(gate), owner_(owner) {
    owner_.store(std::this_thread::get_id());
    gate_.Reset();
  }
  ~PassGate() {
    owner_.store(std::thread::id());
    gate_.Set();
  }
  PassGate(const PassGate&) = delete;
  PassGate& operator=(const PassGate&) = delete;

 private:
  ManualResetEvent& gate_;
  std::atomic<std::thread::id>& owner_;
};

}  // namespace orla
