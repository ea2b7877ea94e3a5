#pragma once
// DiscoveryRuns: the agent's discovery runs. One run sweeps at a time
// (DeviceSweep, on a thread of its own); while it goes, its progress
// (addresses asked, answered, recognised, the time left) can be read, and
// it can be cancelled. A finished run keeps its results for review for
// kKeepFor (at most kKeepRuns runs): each device found, with its suggested
// name (DiscoveryNames) and the managed element at one of its addresses,
// if any. Nothing found is managed until an administrator adopts it, which
// goes through ElementImport like an import.
//
// The process's runs live in Instance(), with the pace of
// KORAGENT_DISCOVERY_RATE and the element registry of AgentObjects; tests
// make their own with a manual clock and their own list of managed
// elements.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "agent/devices/device_sweep.h"
#include "agent/devices/element_snapshot.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

class DiscoveryRuns {
 public:
  struct Row {
    DeviceSweep::Found device;
    std::string suggestedName;
    std::string managedAs;  // the managed element at one of its addresses now; empty when none
  };
  enum class State { kRunning, kDone, kCancelled };
  struct View {
    std::string id;
    std::string ranges;  // as given
    State state = State::kRunning;
    size_t total = 0;
    size_t asked = 0;
    size_t answered = 0;
    size_t recognised = 0;
    uint64_t sent = 0;
    uint64_t peakPerSecond = 0;
    int64_t secondsLeft = 0;
    double seconds = 0;      // since the start (to the end, once ended)
    std::vector<Row> rows;   // once ended
  };
  using Managed = std::function<std::vector<ElementView>()>;
  // Sets the named element's device up to send its traps to the agent.
  using Configure = std::function<void(const std::string& name)>;

  static constexpr std::chrono::minutes kKeepFor{60};
  static constexpr size_t kKeepRuns = 8;

  DiscoveryRuns(const DeviceSweep::Options& options, Managed managed, Configure configure = Configure());
  // Cancels a run that still goes and waits for its thread.
  ~DiscoveryRuns();
  DiscoveryRuns(const DiscoveryRuns&) = delete;
  DiscoveryRuns& operator=(const DiscoveryRuns&) = delete;

  // The process's runs; made at first use, never destroyed.
  static DiscoveryRuns& Instance();

  // Starts a run over `addresses`: true with its id in *id; false, with the
  // id of the run still going in *id, when one goes.
  bool Start(const std::vector<std::string>& addresses, const std::string& ranges, std::string* id);
  // The run's progress, and its results once it has ended; none when no
  // such run is kept.
  std::optional<View> Find(const std::string& id);
  // Cancels a run that goes (its results so far are kept): false when no
  // such run is kept.
  bool Cancel(const std::string& id);
  // Waits until the run has ended (tests, the benchmark); false when no
  // such run is kept.
  bool Wait(const std::string& id);

  // Has each named element's device set up to send its traps here as soon
  // as the element is bound (adopted elements are recognised in the
  // background): a thread looks once a second, for at most kBindWait; an
  // element that ends unbound is left as it is.
  void RegisterTrapTargets(const std::vector<std::string>& names);
  static constexpr std::chrono::seconds kBindWait{60};

  static const char* StateName(State state);

 private:
  struct Run;
  void Sweep(const std::shared_ptr<Run>& run);
  void Forget();  // drops runs past kKeepFor or kKeepRuns; under mutex_

  const DeviceSweep::Options options_;
  const Managed managed_;
  const Configure configure_;
  ManualResetEvent closing_;
  std::thread registrar_;
  std::mutex mutex_;
  std::map<uint64_t, std::shared_ptr<Run>> runs_;
  uint64_t nextId_ = 1;
  std::thread worker_;  // the thread of the latest run
};

}  // namespace orla
