#pragma once
// A status-change listener that records every report it gets, for tests of
// the element registry: (element name, status) in the order they came.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "agent/devices/status_change_listener.h"

namespace orla::test {

class RecordingListener : public StatusChangeListener {
 public:
  void NotifyStatusChange(const StatusChange& change) override {
    std::lock_guard<std::mutex> hold(mutex_);
    changes_.emplace_back(change.name, change.current);
  }
  std::vector<std::pair<std::string, int>> Changes() const {
    std::lock_guard<std::mutex> hold(mutex_);
    return changes_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::string, int>> changes_;
};

}  // namespace orla::test
