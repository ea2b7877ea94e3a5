#pragma once
// Stands in for the trap sender in the notification gate's tests: what
// reached it, as "name:current:overall" (" (load)" for the start-up's first
// pass), taken in the order it came.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "agent/devices/status_change_listener.h"

namespace orla::test {

class NorthListener : public StatusChangeListener {
 public:
  void NotifyStatusChange(const StatusChange& change) override {
    std::lock_guard<std::mutex> hold(mutex_);
    sent_.push_back(change.name + ":" + std::to_string(change.current) + ":" + change.overall +
                    (change.afterLoad ? "" : " (load)"));
  }
  std::vector<std::string> Take() {
    std::lock_guard<std::mutex> hold(mutex_);
    return std::exchange(sent_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<std::string> sent_;
};

}  // namespace orla::test
