#include "polling_interval_check.h"

#include "platform/text/string_printf.h"

namespace orla {

const char* PollingIntervalCheck::CheckMinutes(long long minutes) {
  return minutes < kMinMinutes || minutes > kMaxMinutes ? kOutOfRange : nullptr;
}

const char* PollingIntervalCheck::CheckSeconds(long long seconds) {
  if (seconds < kMinMinutes * 60LL || seconds > kMaxMinutes * 60LL) return kOutOfRange;
  return seconds % 60 != 0 ? kNotWholeMinutes : nullptr;
}

std::string PollingIntervalCheck::ChangeText(int32_t beforeSeconds, long long minutes) {
  // An interval that is not a whole number of minutes shows the minute
  // below it, as the page's choice does.
  return StringPrintf("changed the polling interval from %d to %lld minutes", beforeSeconds / 60, minutes);
}

}  // namespace orla
