#include "agent/traps/trap_drop_report.h"

#include "platform/text/string_printf.h"

namespace orla {

TrapDropReport::TrapDropReport(Clock* clock, const char* text) : clock_(Clock::Or(clock)), text_(text) {}

std::optional<std::chrono::milliseconds> TrapDropReport::Due(uint64_t totalDropped) const {
  if (totalDropped <= reported_) return std::nullopt;
  if (!last_.has_value()) return std::chrono::milliseconds(0);
  const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(*last_ + kInterval - clock_->SteadyNow());
  return wait.count() > 0 ? wait : std::chrono::milliseconds(0);
}

std::optional<std::string> TrapDropReport::Check(uint64_t totalDropped) {
  const auto due = Due(totalDropped);
  if (!due.has_value() || due->count() > 0) return std::nullopt;
  const uint64_t dropped = totalDropped - reported_;
  reported_ = totalDropped;
  last_ = clock_->SteadyNow();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
  return StringPrintf(text_, static_cast<unsigned long long>(dropped));
#pragma GCC diagnostic pop
}

}  // namespace orla
