#pragma once
// The polling threads of elements that are gone (removed, replaced by their
// bound selves, discarded half-made). A thread is never joined under the
// registry lock: its last poll may still be waiting for a device. It is
// retired here instead (it starts no new poll) and joined later, once it
// has finished, or at the registry's end.
//
// Private to the device library.
#include <memory>
#include <mutex>
#include <vector>

namespace orla {

class Element;
class ElementPoller;

class RetiredPollers {
 public:
  RetiredPollers();
  ~RetiredPollers();
  RetiredPollers(const RetiredPollers&) = delete;
  RetiredPollers& operator=(const RetiredPollers&) = delete;

  // Takes the element's polling thread (none: nothing). Throws
  // std::bad_alloc when there is no room to keep it.
  void Retire(Element* element);
  // Retires the element's thread and destroys the element; null does
  // nothing. Never fails: with no room among the retired, the element's
  // destructor joins the thread, which is then still in its first wait and
  // ends at once.
  void Discard(std::unique_ptr<Element>& element);
  // Joins the threads that have finished, or (all) every one, waiting for
  // a poll's remaining time.
  void Reap(bool all);

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<ElementPoller>> retired_;
};

}  // namespace orla
