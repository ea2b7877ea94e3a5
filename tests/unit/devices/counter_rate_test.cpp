// CounterRate: the rates and hourly increases of a device's counters over
// polls on the manual clock. One table: each case is a run of polls of one
// element, each sample with the rate and hour's increase it must get.
#include "agent/devices/counter_rate.h"

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "agent/devices/plugin/device_plugin.h"
#include "tests/support/manual_clock.h"

namespace orla {
namespace {

constexpr uint64_t kTop = CounterRate::kTop;
const std::nullopt_t none = std::nullopt;

struct Expected {
  int port;
  std::optional<uint64_t> value;  // none: the device marks it unsupported
  std::optional<double> perSecond;
  std::optional<double> lastHour;
};
struct Poll {
  int64_t second;  // when it is answered; a missed poll is simply not in the list
  std::vector<Expected> samples;
};
struct Case {
  const char* name;
  int32_t kind;
  std::vector<Poll> polls;
};

TEST(CounterRateTest, RatesOverPolls) {
  const int32_t crc = plugin::kPortCrcErrors;
  const std::vector<Case> cases = {
      {"first sample is a baseline, then the difference over the time", crc,
       {{0, {{1, 100, none, none}}}, {60, {{1, 160, 1.0, 60.0}}}, {120, {{1, 160, 0.0, 60.0}}}}},
      {"a decrease is a reset: new baseline, no rate, the hour starts again", crc,
       {{0, {{1, 1000, none, none}}},
        {60, {{1, 1060, 1.0, 60.0}}},
        {120, {{1, 10, none, 0.0}}},
        {180, {{1, 70, 1.0, 60.0}}}}},
      {"a decrease from near 2^63 to near zero is a wrap", crc,
       {{0, {{1, kTop - 30, none, none}}}, {60, {{1, 30, 1.0, 60.0}}}}},
      {"a decrease from far below 2^63 is a reset, however small the new value", crc,
       {{0, {{1, kTop / 2, none, none}}}, {60, {{1, 5, none, 0.0}}}}},
      {"near the top but a large new value is a reset", crc,
       {{0, {{1, kTop - 30, none, none}}}, {60, {{1, uint64_t{1} << 50, none, 0.0}}}}},
      {"a missed poll is a gap: the next difference covers the whole time", crc,
       {{0, {{1, 0, none, none}}}, {120, {{1, 240, 2.0, 240.0}}}}},
      {"an unsupported counter has no rate and starts anew when it returns", crc,
       {{0, {{1, none, none, none}}},
        {60, {{1, 10, none, none}}},
        {120, {{1, none, none, none}}},
        {180, {{1, 20, none, none}}},
        {240, {{1, 80, 1.0, 60.0}}}}},
      {"a port the device drops loses its state; back, it is a baseline", crc,
       {{0, {{1, 0, none, none}, {2, 0, none, none}}},
        {60, {{1, 60, 1.0, 60.0}}},
        {120, {{1, 120, 1.0, 120.0}, {2, 500, none, none}}},
        {180, {{1, 180, 1.0, 180.0}, {2, 560, 1.0, 60.0}}}}},
      {"the hour's increase counts only the last hour, a part of a step pro rata", crc,
       {{0, {{1, 0, none, none}}},
        {1800, {{1, 100, 100.0 / 1800, 100.0}}},
        {3600, {{1, 200, 100.0 / 1800, 200.0}}},
        {5400, {{1, 300, 100.0 / 1800, 200.0}}},
        {9000, {{1, 300, 0.0, 0.0}}}}},
      {"a gap longer than the hour counts only its last hour", crc,
       {{0, {{1, 0, none, none}}}, {7200, {{1, 7200, 1.0, 3600.0}}}}},
      {"a gauge gets no rate", plugin::kDriveNeedsCleaning,
       {{0, {{1, 0, none, none}}}, {60, {{1, 1, none, none}}}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::ManualClock clock;
    CounterRate rates;
    int64_t at = 0;
    for (const Poll& poll : c.polls) {
      clock.Advance(std::chrono::seconds(poll.second - at));
      at = poll.second;
      std::vector<DeviceSamples::Sample> samples;
      for (const Expected& e : poll.samples) {
        DeviceSamples::Sample s;
        s.part = plugin::kPartPort;
        s.index = e.port;
        s.kind = c.kind;
        s.value = e.value;
        samples.push_back(s);
      }
      rates.Take(std::chrono::duration_cast<std::chrono::milliseconds>(clock.SteadyNow().time_since_epoch()).count(),
                 &samples);
      for (size_t i = 0; i < samples.size(); ++i) {
        SCOPED_TRACE("second " + std::to_string(poll.second) + ", port " + std::to_string(poll.samples[i].port));
        ASSERT_EQ(samples[i].perSecond.has_value(), poll.samples[i].perSecond.has_value());
        if (samples[i].perSecond) {
          EXPECT_NEAR(*samples[i].perSecond, *poll.samples[i].perSecond, 1e-9);
        }
        ASSERT_EQ(samples[i].lastHour.has_value(), poll.samples[i].lastHour.has_value());
        if (samples[i].lastHour) {
          EXPECT_NEAR(*samples[i].lastHour, *poll.samples[i].lastHour, 1e-6);
        }
      }
    }
  }
}

}  // namespace
}  // namespace orla
