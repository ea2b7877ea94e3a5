#pragma once
// What an element's counters say about its status: a port whose errors of
// one kind in the last hour are more than that kind's limit
// (KORAGENT_PORT_ERROR_LIMITS) makes the element degraded, with the reason
// "Port 3: 120 CRC errors in the last hour"; a library drive past its mount
// or power-on-hour budget (KORAGENT_DRIVE_BUDGET) makes it degraded with a
// note ("Drive 2: 120345 mounts, past the budget of 100000"), never failed.
// Once the hour's errors fall back to the limit the verdict goes with them.
#include <cstdint>
#include <map>
#include <string>
#include <utility>

#include "agent/devices/device_samples.h"

namespace orla {

class WearCheck {
 public:
  struct Verdict {
    bool degraded = false;
    std::string reason;  // the findings, "; " between them; empty when none
  };

  WearCheck(std::map<std::string, uint64_t> portErrorLimits, uint64_t driveMountBudget, uint64_t driveHourBudget)
      : limits_(std::move(portErrorLimits)), mountBudget_(driveMountBudget), hourBudget_(driveHourBudget) {}

  Verdict Judge(const DeviceSamples& samples) const;

  // The status a poll publishes: the plug-in's `status` made at least
  // degraded by the verdict (a failed one stays failed), and the plug-in's
  // reason (kept first when its status was not ok) with the verdict's.
  static void Apply(const Verdict& verdict, int32_t* status, std::string* reason);

 private:
  std::map<std::string, uint64_t> limits_;
  uint64_t mountBudget_;
  uint64_t hourBudget_;
};

}  // namespace orla
