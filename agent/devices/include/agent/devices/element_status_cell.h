#pragma once
// An element's status as its last poll left it: the status and why, when it
// last changed, whether and when the device answered, the plug-in's class
// codes. The element's polling side is its only writer: every poll (and a
// class-code read, a change of staleness) publishes a new cell whole, so a
// reader never sees the status of one poll with the reason of another.
// Readers get it from an ElementSnapshot entry, without any lock of the
// registry and without asking the device.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>

#include "agent/devices/device_samples.h"

namespace orla {

struct ElementStatusCell {
  // A status not read yet; a class code not answered yet.
  static constexpr int32_t kNotRead = -1;
  static constexpr int32_t kClassUnknown = INT32_MIN;

  int32_t status = kNotRead;  // as the plug-in answered it (0 ok, 1 degraded, 2 failed, 3 unknown)
  // Why the status is not ok: the plug-in's reason, an SNMPv3 security
  // failure, or "No SNMPv3 profile (v3-only)" while stale; empty when none.
  std::string reason;
  bool stale = false;          // not polled (v3-only, no profile): `status` is the last one read
  int64_t statusSinceMs = 0;   // when the status last changed, ms since 1970 UTC
  int64_t lastAnsweredMs = 0;  // when the device last answered a poll; 0 never
  bool answeredLastPoll = false;
  // The latest counters and wear facts the plug-in's optional
  // "ReadDeviceCounters" gave, with their rates; null when it gave none
  // (an older plug-in, or not read yet). A poll the device did not answer
  // leaves the last ones here.
  std::shared_ptr<const DeviceSamples> samples;
  int32_t majorClass = kClassUnknown;
  int32_t minorClass = kClassUnknown;

  bool ClassCodesKnown() const { return majorClass != kClassUnknown && minorClass != kClassUnknown; }
};

}  // namespace orla
