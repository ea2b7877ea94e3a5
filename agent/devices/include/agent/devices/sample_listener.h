#pragma once
// Who keeps the counters of the elements as they come (the history writer):
// the registry hands it every poll's counters and tells it when an element
// is renamed or removed. The agent's start-up connects the two, so the
// registry does not depend on what keeps them. Every call comes on a
// polling thread or under the registry lock and must not block: queue what
// it does.
#include <memory>
#include <string>

#include "agent/devices/device_samples.h"

namespace orla {

class SampleListener {
 public:
  virtual ~SampleListener() = default;
  // A poll read these counters of the element now named `name`.
  virtual void SamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) = 0;
  virtual void ElementRenamed(const std::string& from, const std::string& to) = 0;
  virtual void ElementRemoved(const std::string& name) = 0;
};

}  // namespace orla
