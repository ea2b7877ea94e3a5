#include "retired_pollers.h"

#include <new>

#include "element.h"
#include "element_poller.h"

namespace orla {

RetiredPollers::RetiredPollers() = default;

RetiredPollers::~RetiredPollers() { Reap(true); }

void RetiredPollers::Retire(Element* element) {
  std::unique_ptr<ElementPoller> poller = element->TakePoller();
  if (poller == nullptr) return;
  std::lock_guard<std::mutex> hold(mutex_);
  retired_.push_back(std::move(poller));
}

void RetiredPollers::Discard(std::unique_ptr<Element>& element) {
  if (!element) return;
  try {
    Retire(element.get());
  } catch (const std::bad_alloc&) {
    // Joined by the element's destructor below.
  }
  element.reset();
}

void RetiredPollers::Reap(bool all) {
  std::vector<std::unique_ptr<ElementPoller>> done;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    for (auto it = retired_.begin(); it != retired_.end();) {
      if (all || (*it)->Finished()) {
        done.push_back(std::move(*it));
        it = retired_.erase(it);
      } else {
        ++it;
      }
    }
  }
  // Joins here, outside the mutex.
  done.clear();
}

}  // namespace orla
