#pragma once
// An element's status as its last poll left it: the status and why, when it
// last changed, whether and when the device answered, the plug-in's class
// codes, and the conditions its traps raised. Every writer (a poll, a
// class-code read, a change of staleness, a trap that raises a condition)
// publishes a new cell whole, one at a time, so a reader never sees the
// status of one poll with the reason of another.
// Readers get it from an ElementSnapshot entry, without any lock of the
// registry and without asking the device.
#include <climits>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "agent/devices/device_samples.h"

namespace orla {

// A condition a received trap raised on a part of the device that no poll
// reports (a drive's TapeAlert flag): it stands until `untilMs`.
struct TrapCondition {
  std::string part;    // the plug-in's stable name of the part ("drive:3:tapealert:20")
  int severity = 1;    // the event log's numbers: 1 warning, 2 critical
  std::string reason;  // the trap's event text, without the element's name and address
  int64_t sinceMs = 0;  // when the part first raised it (a repeat keeps it)
  int64_t untilMs = 0;  // when it lapses unless raised again
};

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
  // The standing trap conditions, at most kTrapConditionLimit (a new part
  // beyond it replaces the one raised longest ago); lapsed ones are pruned
  // when the next trap is noted and ignored by readers before that.
  static constexpr size_t kTrapConditionLimit = 32;
  std::vector<TrapCondition> trapConditions;
  int32_t majorClass = kClassUnknown;
  int32_t minorClass = kClassUnknown;

  bool ClassCodesKnown() const { return majorClass != kClassUnknown && minorClass != kClassUnknown; }
};

}  // namespace orla
