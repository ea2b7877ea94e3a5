#pragma once
// Turns the trap receiver's running count of traps dropped at its limits
// into event-log warnings: "N traps were dropped because they arrived faster
// than the agent could take them.", at most once a minute, N being the traps
// dropped since the last warning. The first drop after a quiet minute is
// reported at once; later ones wait until a minute has passed since the last
// warning.
//
// The clock is passed in so that tests need not wait a minute.
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace orla {

class TrapDropReport {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  static constexpr std::chrono::seconds kInterval{60};

  explicit TrapDropReport(Clock clock = &std::chrono::steady_clock::now);

  // With the receiver's total of dropped traps: the text of the warning to
  // write now, if one is due.
  std::optional<std::string> Check(uint64_t totalDropped);
  // How long until a warning that waits may be written; none when no drop
  // waits to be reported.
  std::optional<std::chrono::milliseconds> Due(uint64_t totalDropped) const;

 private:
  Clock clock_;
  uint64_t reported_ = 0;
  std::optional<std::chrono::steady_clock::time_point> last_;
};

}  // namespace orla
