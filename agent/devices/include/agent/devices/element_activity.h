#pragma once
// What the console and the metrics show of one element without asking its
// device: its status and when it changed, and when the device last answered
// a status poll. ElementRegistry::Activity() hands out one per element, in
// registry order, read without the registry lock and without any SNMP
// request.
#include <cstdint>
#include <string>

namespace orla {

struct ElementActivity {
  std::string name;
  std::string address;
  std::string description;     // the device's own description text
  int32_t status = -1;         // as the element list shows it (-1 before the first poll)
  std::string reason;          // why the status is not ok, as the plug-in said; empty when none
  bool stale = false;          // not polled (v3-only, no profile): `status` is the last one read
  int64_t statusSinceMs = 0;   // when the status last changed, ms since 1970 UTC
  int64_t lastAnsweredMs = 0;  // when the device last answered a poll; 0 never
  bool answeredLastPoll = false;  // the device answered during the last poll
};

}  // namespace orla
