#pragma once
// Turns the trap receiver's running count of traps dropped at its limits
// into event-log warnings: "N traps were dropped because they arrived faster
// than the agent could take them.", at most once a minute, N being the traps
// dropped since the last warning. The first drop after a quiet minute is
// reported at once; later ones wait until a minute has passed since the last
// warning.
//
// The same rule words the count of SNMPv3 traps the security model refused
// (another text: kRefusedText).
//
// The clock is passed in so that tests need not wait a minute.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/sync/clock.h"

namespace orla {

class TrapDropReport {
 public:
  static constexpr std::chrono::seconds kInterval{60};

  static constexpr const char* kDroppedText =
      "%llu traps were dropped because they arrived faster than the agent could take them.";
  static constexpr const char* kRefusedText =
      "%llu SNMPv3 traps were refused (unknown user or engine, wrong key, or outside the time window).";

  // Times the warnings on `clock` (the system's when null); `text` is the
  // warning's format, the count its one argument.
  explicit TrapDropReport(Clock* clock = nullptr, const char* text = kDroppedText);

  // With the receiver's total of dropped traps: the text of the warning to
  // write now, if one is due.
  std::optional<std::string> Check(uint64_t totalDropped);
  // How long until a warning that waits may be written; none when no drop
  // waits to be reported.
  std::optional<std::chrono::milliseconds> Due(uint64_t totalDropped) const;

 private:
  Clock* clock_;
  const char* text_;
  uint64_t reported_ = 0;
  std::optional<Clock::SteadyTime> last_;
};

}  // namespace orla
