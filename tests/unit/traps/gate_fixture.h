#pragma once
// What the notification gate's tests share: NorthListener stands in for the
// trap sender (what reached it, as "name:current:overall", " (load)" for the
// start-up's first pass, in the order it came); MaintenanceGateFixture adds
// a maintenance book on the manual clock.
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "agent/core/maintenance_book.h"
#include "agent/devices/status_change_listener.h"
#include "tests/support/manual_clock.h"
#include "tests/support/temp_dir.h"

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

class MaintenanceGateFixture : public ::testing::Test {
 protected:
  TempDir dir_;
  ManualClock clock_;
  MaintenanceBook book_{dir_.File("maintenance"), &clock_};
  NorthListener north_;
};

}  // namespace orla::test
