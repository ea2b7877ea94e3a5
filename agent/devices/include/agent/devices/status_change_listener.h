#pragma once
// What the element registry tells when an element's status changes or an
// element has been removed. The trap sender implements it; the agent's
// start-up connects the two, so the registry does not depend on traps. The
// change carries every fact the listener needs, the overall status
// included, so that a listener never calls back into the registry; it is
// handed over on the thread that found the change and must not block
// (queue what it does).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "agent/devices/device_samples.h"
#include "agent/devices/element_status_cell.h"

namespace orla {

struct StatusChange {
  std::string name;
  std::string address;
  int32_t previous = -1;
  int32_t current = -1;  // for a removal, the status the element had
  bool removed = false;
  std::string reason;    // why `current` is not ok, as the poll said; empty when none
  // The overall status (ElementSnapshot::OverallStatus) right after this
  // change; changes reach the listener in the order of these readings.
  char overall = '0';
  // False for the changes of the start-up's first pass, before the element
  // file has been loaded.
  bool afterLoad = true;
};

class StatusChangeListener {
 public:
  virtual ~StatusChangeListener() = default;
  // May throw OrlaException*.
  virtual void NotifyStatusChange(const StatusChange& change) = 0;
  // A poll of the element `name` that left its status as it was (the
  // listener's clock for what waits on time, such as the end of a
  // maintenance window). Must not block either.
  virtual void NotifyPolled(const std::string& name) { (void)name; }
  // A poll of the element named `name` read these counters. Only the
  // registry's own publisher does something with them (it hands them to its
  // SampleListener); must not block.
  virtual void NotifySamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) {
    (void)name;
    (void)samples;
  }
  // A trap changed the standing trap conditions of the element `name` at
  // `address` to `standing`. Only the registry's own publisher does
  // something with them (it keeps them across restarts).
  virtual void NotifyTrapConditions(const std::string& name, const std::string& address,
                                    const std::vector<TrapCondition>& standing) {
    (void)name;
    (void)address;
    (void)standing;
  }
};

}  // namespace orla
