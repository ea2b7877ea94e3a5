#pragma once
// An element's polling thread: waits one polling interval, then refreshes
// the element's status, until it is told to stop. The thread of an unbound
// element runs a retry of its recognition and binding instead of a poll;
// it ends after a retry that bound the element (the element is then
// replaced by a bound one with a thread of its own).
//
// The thread works on the element's shared state only, so it may run on for
// the rest of one poll after its element has been destroyed. The poller
// object itself must outlive the thread: its destructor stops and joins it,
// and the registry destroys retired pollers only without holding its lock.
#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "agent/core/root_object.h"

namespace orla {

class ElementState;
class Clock;

class ElementPoller : public RootObject {
 public:
  // Seconds a trap-receiver stamp holds off the polls.
  static constexpr uint32_t kStampHoldOff = 120;

  // Starts the thread, which waits and reads the time on the element's
  // clock. Throws OrlaException 3003 when it cannot be created.
  // With `retry`, each cycle runs it instead of a poll (an unbound
  // element), also at once when the element's wake event is set.
  explicit ElementPoller(std::shared_ptr<ElementState> state, std::function<void()> retry = {});
  // Stops the thread and waits for it to end.
  ~ElementPoller() override;
  ElementPoller(const ElementPoller&) = delete;
  ElementPoller& operator=(const ElementPoller&) = delete;

  // Tells the thread to end: a wait ends at once, a poll that has begun is
  // finished, and no new poll begins. Does not wait.
  void Stop();
  // True once the thread has left its loop.
  bool Finished() const { return finished_.load(); }

 private:
  void Run();

  std::shared_ptr<ElementState> state_;
  Clock* const clock_;
  std::function<void()> retry_;
  std::atomic<bool> stopping_{false};
  std::atomic<bool> finished_{false};
  std::thread thread_;
};

}  // namespace orla
