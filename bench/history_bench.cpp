// The history's costs, with Google Benchmark: one update of an element's
// history file (a controller with 16 ports of 12 counters and the library's
// drives and slots), written directly or queued for the writer thread as a
// poll hands it over; and a month of that element read back and made the
// history endpoint's JSON. The files live in a temporary folder; the time
// stamps are librrd's own, one polling interval apart, so nothing waits.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>

#include "agent/devices/plugin/device_plugin.h"
#include "agent/history/element_history.h"
#include "agent/web/history_resource.h"
#include "platform/sync/clock.h"

namespace orla {
namespace {

constexpr unsigned long kPolling = 300;
constexpr int64_t kStart = 1700000100;

class FixedClock : public Clock {
 public:
  SteadyTime SteadyNow() override { return SteadyTime(std::chrono::seconds(now)); }
  WallTime WallNow() override { return WallTime(std::chrono::seconds(now)); }
  bool WaitFor(ManualResetEvent&, std::chrono::milliseconds) override { return false; }
  int64_t now = kStart;
};

std::string TempFolder() {
  char name[] = "/tmp/kor-history-bench-XXXXXX";
  return ::mkdtemp(name) != nullptr ? name : "/tmp";
}

std::shared_ptr<const DeviceSamples> Samples(int64_t second, uint64_t count) {
  auto samples = std::make_shared<DeviceSamples>();
  samples->takenMs = second * 1000;
  for (int port = 1; port <= 16; ++port) {
    for (int32_t kind = plugin::kPortCrcErrors; kind <= plugin::kPortRxOctets; ++kind) {
      samples->samples.push_back({plugin::kPartPort, port, kind, count, 1.5, 5400.0});
    }
  }
  for (int drive = 1; drive <= 4; ++drive) {
    samples->samples.push_back({plugin::kPartDrive, drive, plugin::kDriveMounts, count, 0.001, 3.6});
    samples->samples.push_back({plugin::kPartDrive, drive, plugin::kDrivePowerOnHours, count, std::nullopt, std::nullopt});
  }
  samples->samples.push_back({plugin::kPartDevice, 0, plugin::kDeviceSlotsUsed, 40, std::nullopt, std::nullopt});
  return samples;
}

ElementHistory::Options Options(FixedClock* clock) {
  ElementHistory::Options options;
  options.directory = TempFolder();
  options.step = kPolling;
  options.clock = clock;
  options.queueLimit = 1 << 20;
  return options;
}

// One update written, on the caller's thread.
void BM_HistoryUpdate(benchmark::State& state) {
  FixedClock clock;
  ElementHistory history(Options(&clock));
  int64_t second = kStart;
  uint64_t count = 0;
  for (auto _ : state) {
    history.SamplesTaken("tc1", Samples(second += kPolling, count += 10));
    history.Flush();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HistoryUpdate);

// What a poll pays: handing its counters to the writer thread.
void BM_HistoryHandOver(benchmark::State& state) {
  FixedClock clock;
  ElementHistory history(Options(&clock));
  history.Start();
  int64_t second = kStart;
  uint64_t count = 0;
  for (auto _ : state) history.SamplesTaken("tc1", Samples(second += kPolling, count += 10));
  // After the timed loop: the writer finishes what it was handed.
  history.Flush();
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_HistoryHandOver);

// A month of one element read and made JSON.
void BM_HistoryMonthJson(benchmark::State& state) {
  FixedClock clock;
  ElementHistory history(Options(&clock));
  int64_t second = kStart;
  uint64_t count = 0;
  for (int i = 0; i < 31 * 288; ++i) history.SamplesTaken("tc1", Samples(second += kPolling, count += 10));
  history.Flush();
  clock.now = second;
  size_t bytes = 0;
  for (auto _ : state) {
    const std::string json = HistoryResource::Json("tc1", "month", *history.Read("tc1", "month"));
    bytes = json.size();
    benchmark::DoNotOptimize(json.data());
  }
  state.counters["json_bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_HistoryMonthJson);

}  // namespace
}  // namespace orla

BENCHMARK_MAIN();
