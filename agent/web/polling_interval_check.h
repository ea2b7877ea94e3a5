#pragma once
// PollingIntervalCheck: the agent configuration's rule for the status
// polling interval, shared by the configuration page (a choice of minutes)
// and the API's config resource (seconds): 1 to 60 whole minutes, so the
// agent never polls outside 60 to 3600 seconds, which its start-up refuses
// to read back from storage.ini. With the page's texts.
#include <cstdint>
#include <string>

namespace orla {

class PollingIntervalCheck {
 public:
  static constexpr int kMinMinutes = 1;
  static constexpr int kMaxMinutes = 60;
  static constexpr const char* kOutOfRange = "The polling interval must be between 1 and 60 minutes.";
  static constexpr const char* kNotWholeMinutes = "The polling interval must be a whole number of minutes.";

  // Why the interval may not be set, or null.
  static const char* CheckMinutes(long long minutes);
  static const char* CheckSeconds(long long seconds);
  // The audit text of a change from `beforeSeconds` to `minutes`.
  static std::string ChangeText(int32_t beforeSeconds, long long minutes);
};

}  // namespace orla
