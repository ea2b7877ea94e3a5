// The history's costs, with Google Benchmark: one update of an element's
// history file (a controller with 16 ports of 12 counters and the library's
// drives and slots), written directly or queued for the writer thread as a
// poll hands it over; a whole polling pass of many controllers handed over
// and written, in the process's CPU (the writer thread's included) and as a
// ratio to the agent's own CPU for that pass without history; and a month
// of that element read back and made the history endpoint's JSON, with the
// 50th and 99th percentile of single reads. The files live in a temporary
// folder; the time stamps are librrd's own, one polling interval apart, so
// nothing waits.
//
//   kor_history_bench [--pass-cpu-ms=MS] [Google Benchmark's flags]
//
// MS is the agent's CPU for one pass over the same elements without
// history, as `bench/agent_bench.sh scale` measures it (default 166 ms: 1,000
// controllers over SNMPv1, docs/benchmarks.md).
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

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

// The agent's CPU for a pass without history, milliseconds.
double passCpuMs = 166;

// A controller's counters at one poll: `ports` ports of 12 counters each.
std::shared_ptr<DeviceSamples> PortSamples(int64_t second, uint64_t count, int ports) {
  auto samples = std::make_shared<DeviceSamples>();
  samples->takenMs = second * 1000;
  for (int port = 1; port <= ports; ++port) {
    for (int32_t kind = plugin::kPortCrcErrors; kind <= plugin::kPortRxOctets; ++kind) {
      samples->samples.push_back({plugin::kPartPort, port, kind, count, 1.5, 5400.0});
    }
  }
  return samples;
}

// The benchmarks' element: 16 ports, 4 drives and the library's slots.
std::shared_ptr<const DeviceSamples> Samples(int64_t second, uint64_t count) {
  auto samples = PortSamples(second, count, 16);
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

// Polling passes: state.range(0) controllers of state.range(1) ports each
// hand their counters over, and the writer writes the files as in the agent
// (an element's polls in batches). The files are created by a pass before
// the timed ones; the timed passes are whole batches, and the last waits
// for the writer. What is judged is the history's CPU per pass: this
// process's CPU (every thread) less what the polls spent making their
// counters, which they do with or without history.
double ClockMs(clockid_t clock) {
  timespec now{};
  ::clock_gettime(clock, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void BM_HistoryPass(benchmark::State& state) {
  const auto elements = static_cast<int>(state.range(0));
  const auto ports = static_cast<int>(state.range(1));
  FixedClock clock;
  ElementHistory::Options options = Options(&clock);
  ElementHistory history(options);
  history.Start();
  std::vector<std::string> names;
  for (int i = 1; i <= elements; ++i) names.push_back("tc" + std::to_string(i));
  int64_t second = kStart;
  uint64_t count = 0;
  double pollMs = 0;
  const auto pass = [&] {
    second += kPolling;
    count += 10;
    for (const std::string& name : names) {
      const double before = ClockMs(CLOCK_THREAD_CPUTIME_ID);
      auto samples = PortSamples(second, count, ports);
      pollMs += ClockMs(CLOCK_THREAD_CPUTIME_ID) - before;
      history.SamplesTaken(name, samples);
    }
  };
  pass();
  history.Flush();
  pollMs = 0;
  int64_t passes = 0;
  const double start = ClockMs(CLOCK_PROCESS_CPUTIME_ID);
  for (auto _ : state) {
    pass();
    if (++passes % static_cast<int64_t>(options.batch) == 0) history.Flush();
  }
  history.Flush();
  const double historyMs = (ClockMs(CLOCK_PROCESS_CPUTIME_ID) - start - pollMs) / static_cast<double>(passes);
  state.counters["dropped"] = static_cast<double>(history.Dropped());
  state.counters["history_cpu_ms"] = historyMs;
  state.counters["pass_cpu_ms"] = passCpuMs;
  state.counters["ratio"] = (passCpuMs + historyMs) / passCpuMs;
}
BENCHMARK(BM_HistoryPass)->Args({1000, 8})->Iterations(24)->UseRealTime()->Unit(benchmark::kMillisecond);

// A month of one element read and made JSON; every read timed on its own
// for the percentiles.
void BM_HistoryMonthJson(benchmark::State& state) {
  FixedClock clock;
  ElementHistory history(Options(&clock));
  int64_t second = kStart;
  uint64_t count = 0;
  for (int i = 0; i < 31 * 288; ++i) history.SamplesTaken("tc1", Samples(second += kPolling, count += 10));
  history.Flush();
  clock.now = second;
  size_t bytes = 0;
  std::vector<double> ms;
  std::vector<double> cpuMs;
  for (auto _ : state) {
    const double wall = ClockMs(CLOCK_MONOTONIC);
    const double cpu = ClockMs(CLOCK_THREAD_CPUTIME_ID);
    const std::string json = HistoryResource::Json("tc1", "month", *history.Read("tc1", "month"));
    benchmark::DoNotOptimize(json.data());
    ms.push_back(ClockMs(CLOCK_MONOTONIC) - wall);
    cpuMs.push_back(ClockMs(CLOCK_THREAD_CPUTIME_ID) - cpu);
    bytes = json.size();
  }
  // Wall time (what a caller waits on this machine, other work included)
  // and the reading thread's CPU.
  const auto at = [](std::vector<double> all, double share) {
    std::sort(all.begin(), all.end());
    return all.empty() ? 0.0 : all[static_cast<size_t>(share * static_cast<double>(all.size() - 1))];
  };
  state.counters["json_bytes"] = static_cast<double>(bytes);
  state.counters["p50_ms"] = at(ms, 0.50);
  state.counters["p99_ms"] = at(ms, 0.99);
  state.counters["cpu_p99_ms"] = at(cpuMs, 0.99);
}
BENCHMARK(BM_HistoryMonthJson)->Iterations(200)->Unit(benchmark::kMillisecond);

// Prints the pass's ratio once the runs are done: (pass + history) / pass.
class PassReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto history = run.counters.find("history_cpu_ms");
      if (history == run.counters.end()) continue;
      GetOutputStream() << "history per pass: " << history->second.value << " ms of CPU; pass without history "
                        << passCpuMs << " ms; ratio " << (passCpuMs + history->second.value) / passCpuMs
                        << " (goal <= 1.3)\n";
    }
  }
};

}  // namespace
}  // namespace orla

int main(int argc, char** argv) {
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (std::strncmp(argv[i], "--pass-cpu-ms=", 14) == 0) {
      orla::passCpuMs = std::atof(argv[i] + 14);
    } else {
      rest.push_back(argv[i]);
    }
  }
  int count = static_cast<int>(rest.size());
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 1;
  orla::PassReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  return 0;
}
