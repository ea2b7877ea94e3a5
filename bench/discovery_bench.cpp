// The discovery benchmark (Google Benchmark): one sweep of a network whose
// few devices answer and whose other addresses are silent, as a discovery
// run makes it (DeviceSweep with the agent's defaults: a time-out of 5 s,
// 4 retries, KORAGENT_DISCOVERY_RATE requests a second). Judged by the
// run's time against one silent device's time-out (every try waited out:
// 25 s), goal <= 1.5, and by the most requests sent in any one second
// against the setting (counted at the bucket every datagram passes).
//
//   kor_discovery_bench RANGE   run from a program folder (devices/ with the
//                               plug-ins), KORAGENT_SNMP_PORT set to the
//                               simulator's port (bench/discovery_bench.sh)
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "agent/core/agent_settings.h"
#include "agent/devices/address_ranges.h"
#include "agent/devices/device_sweep.h"

using namespace orla;

namespace {

std::string range;
double lastRatio = 0;
double lastPeak = 0;

void DiscoverySweep(benchmark::State& state) {
  std::vector<std::string> addresses;
  std::string error;
  if (!AddressRanges::Parse(range, &addresses, &error)) {
    state.SkipWithError(error.c_str());
    return;
  }
  DeviceSweep::Options options;
  options.rate = AgentSettings::Current().DiscoveryRate();
  const double silentTimeout = (1.0 + options.retries) * options.timeoutMs / 1000.0;
  DeviceSweep::Progress progress;
  double seconds = 0;
  size_t found = 0;
  for (auto _ : state) {
    ManualResetEvent stop;
    DeviceSweep sweep(options, stop);
    const auto started = std::chrono::steady_clock::now();
    found = sweep.Run(addresses, &progress).size();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  }
  lastRatio = seconds / silentTimeout;
  lastPeak = static_cast<double>(progress.peakPerSecond);
  state.counters["addresses"] = static_cast<double>(addresses.size());
  state.counters["found"] = static_cast<double>(found);
  state.counters["recognised"] = static_cast<double>(progress.recognised.load());
  state.counters["requests"] = static_cast<double>(progress.sent.load());
  state.counters["rate_setting"] = options.rate;
  state.counters["peak_per_s"] = lastPeak;
  state.counters["run_s"] = seconds;
  state.counters["silent_timeout_s"] = silentTimeout;
  state.counters["ratio"] = lastRatio;
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: kor_discovery_bench [benchmark options] RANGE\n");
    return 2;
  }
  const std::string settingsError = AgentSettings::Load();
  if (!settingsError.empty()) {
    std::fprintf(stderr, "%s\n", settingsError.c_str());
    return 2;
  }
  range = argv[1];
  benchmark::RegisterBenchmark("DiscoverySweep", DiscoverySweep)
      ->Iterations(1)
      ->UseRealTime()
      ->Unit(benchmark::kSecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const int rate = AgentSettings::Current().DiscoveryRate();
  std::printf("ratio (run / one silent device's time-out): %.2f (goal <= 1.5)\n", lastRatio);
  std::printf("most requests in one second: %.0f (setting %d): %s\n", lastPeak, rate,
              lastPeak <= rate ? "never above it" : "ABOVE IT");
  return 0;
}
