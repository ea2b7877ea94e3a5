#include "discovery_runs.h"

#include <algorithm>
#include <condition_variable>
#include <set>
#include <utility>

#include "agent/core/agent_settings.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "discovery_names.h"
#include "platform/sync/manual_reset_event.h"

namespace orla {

namespace {

// The managed element at one of the device's addresses; empty when none.
std::string ManagedAs(const DeviceSweep::Found& device, const std::vector<ElementView>& managed) {
  for (const ElementView& e : managed) {
    if (std::find(device.addresses.begin(), device.addresses.end(), e.record.address) != device.addresses.end()) {
      return e.record.name;
    }
  }
  return std::string();
}

}  // namespace

struct DiscoveryRuns::Run {
  uint64_t id = 0;
  std::string ranges;
  std::vector<std::string> addresses;
  Clock::SteadyTime started{};
  Clock::SteadyTime ended{};
  ManualResetEvent stop;
  DeviceSweep::Progress progress;
  // Under the runs' mutex:
  State state = State::kRunning;
  std::vector<Row> rows;
  std::condition_variable_any doneChanged;
};

DiscoveryRuns::DiscoveryRuns(const DeviceSweep::Options& options, Managed managed, Configure configure)
    : options_(options), managed_(std::move(managed)), configure_(std::move(configure)) {}

DiscoveryRuns::~DiscoveryRuns() {
  {
    std::lock_guard<std::mutex> hold(mutex_);
    for (auto& [id, run] : runs_) run->stop.Set();
  }
  closing_.Set();
  if (worker_.joinable()) worker_.join();
  if (registrar_.joinable()) registrar_.join();
}

void DiscoveryRuns::RegisterTrapTargets(const std::vector<std::string>& names) {
  if (!configure_ || !managed_) return;
  std::lock_guard<std::mutex> hold(mutex_);
  // One registrar at a time: the one before is told to end and joined.
  closing_.Set();
  if (registrar_.joinable()) registrar_.join();
  closing_.Reset();
  registrar_ = std::thread([this, pending = names]() mutable {
    Clock* clock = Clock::Or(options_.clock);
    const Clock::SteadyTime until = clock->SteadyNow() + kBindWait;
    while (!pending.empty() && clock->SteadyNow() < until) {
      const std::vector<ElementView> managed = managed_();
      for (auto it = pending.begin(); it != pending.end();) {
        const ElementView* view = nullptr;
        for (const ElementView& e : managed) {
          if (e.record.name == *it) view = &e;
        }
        const bool waiting = view != nullptr && !view->record.Bound() &&
                             view->record.unboundReason == ElementRecord::kPendingReason;
        if (view != nullptr && view->record.Bound()) configure_(*it);
        it = waiting ? std::next(it) : pending.erase(it);
      }
      if (pending.empty() || clock->WaitFor(closing_, std::chrono::seconds(1))) break;
    }
  });
}

DiscoveryRuns& DiscoveryRuns::Instance() {
  static DiscoveryRuns* runs = [] {
    DeviceSweep::Options options;
    options.rate = AgentSettings::Current().DiscoveryRate();
    return new DiscoveryRuns(
        options,
        [] {
          ElementRegistry* registry = AgentObjects::FindRegistry();
          return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
        },
        [](const std::string& name) {
          // A failure is logged where it arises.
          OrlaException::Discard([&] { AgentObjects::Registry().ConfigureTrapReceiver(name); });
        });
  }();
  return *runs;
}

const char* DiscoveryRuns::StateName(State state) {
  switch (state) {
    case State::kRunning: return "running";
    case State::kDone: return "done";
    case State::kCancelled: return "cancelled";
  }
  return "done";
}

bool DiscoveryRuns::Start(const std::vector<std::string>& addresses, const std::string& ranges, std::string* id) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (const auto& [runId, run] : runs_) {
    if (run->state == State::kRunning) {
      *id = std::to_string(runId);
      return false;
    }
  }
  Forget();
  // The thread of the run before has ended its sweep; it only had to end.
  if (worker_.joinable()) worker_.join();
  auto run = std::make_shared<Run>();
  run->id = nextId_++;
  run->ranges = ranges;
  run->addresses = addresses;
  run->started = Clock::Or(options_.clock)->SteadyNow();
  runs_[run->id] = run;
  *id = std::to_string(run->id);
  worker_ = std::thread([this, run] { Sweep(run); });
  return true;
}

void DiscoveryRuns::Sweep(const std::shared_ptr<Run>& run) {
  DeviceSweep sweep(options_, run->stop);
  std::vector<DeviceSweep::Found> found = sweep.Run(run->addresses, &run->progress);

  const std::vector<ElementView> managed = managed_ ? managed_() : std::vector<ElementView>();
  std::set<std::string> taken;
  for (const ElementView& e : managed) taken.insert(DiscoveryNames::Key(e.record.name));
  std::vector<Row> rows;
  for (DeviceSweep::Found& device : found) {
    Row row;
    row.managedAs = ManagedAs(device, managed);
    if (row.managedAs.empty()) {
      row.suggestedName = DiscoveryNames::Suggest(device.sysName, device.typeName, device.addresses.front(), &taken);
    }
    row.device = std::move(device);
    rows.push_back(std::move(row));
  }
  std::lock_guard<std::mutex> hold(mutex_);
  run->rows = std::move(rows);
  run->ended = Clock::Or(options_.clock)->SteadyNow();
  run->state = run->stop.IsSet() ? State::kCancelled : State::kDone;
  run->doneChanged.notify_all();
}

void DiscoveryRuns::Forget() {
  const Clock::SteadyTime now = Clock::Or(options_.clock)->SteadyNow();
  for (auto it = runs_.begin(); it != runs_.end();) {
    const bool old = it->second->state != State::kRunning && now - it->second->ended > kKeepFor;
    it = old ? runs_.erase(it) : std::next(it);
  }
  while (runs_.size() >= kKeepRuns && runs_.begin()->second->state != State::kRunning) runs_.erase(runs_.begin());
}

std::optional<DiscoveryRuns::View> DiscoveryRuns::Find(const std::string& id) {
  std::lock_guard<std::mutex> hold(mutex_);
  Forget();
  uint64_t number = 0;
  try {
    size_t used = 0;
    number = std::stoull(id, &used);
    if (used != id.size()) return std::nullopt;
  } catch (const std::exception&) {
    return std::nullopt;
  }
  auto it = runs_.find(number);
  if (it == runs_.end()) return std::nullopt;
  const Run& run = *it->second;
  View view;
  view.id = id;
  view.ranges = run.ranges;
  view.state = run.state;
  view.total = run.addresses.size();
  view.asked = run.progress.asked;
  view.answered = run.progress.answered;
  view.recognised = run.progress.recognised;
  view.sent = run.progress.sent;
  view.peakPerSecond = run.progress.peakPerSecond;
  const Clock::SteadyTime now = Clock::Or(options_.clock)->SteadyNow();
  const auto elapsed = (run.state == State::kRunning ? now : run.ended) - run.started;
  view.seconds = std::chrono::duration<double>(elapsed).count();
  if (run.state == State::kRunning) {
    // Each address left costs its requests at the run's pace, and the last
    // of them one time-out of every try.
    const double left = static_cast<double>(view.total - std::min(view.asked, view.total));
    const double tries = 1.0 + std::max(options_.retries, 0);
    const double pace = left * tries / std::max(options_.rate, 1);
    const double wait = view.total > view.asked ? tries * options_.timeoutMs / 1000.0 : 0.0;
    view.secondsLeft = static_cast<int64_t>(std::max(pace, wait) + 0.999);
  } else {
    view.rows = run.rows;
    // What is managed now: a row adopted since the run ended says so.
    const std::vector<ElementView> managed = managed_ ? managed_() : std::vector<ElementView>();
    for (Row& row : view.rows) row.managedAs = ManagedAs(row.device, managed);
  }
  return view;
}

bool DiscoveryRuns::Cancel(const std::string& id) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (auto& [runId, run] : runs_) {
    if (std::to_string(runId) == id) {
      run->stop.Set();
      return true;
    }
  }
  return false;
}

bool DiscoveryRuns::Wait(const std::string& id) {
  std::unique_lock<std::mutex> hold(mutex_);
  for (auto& [runId, run] : runs_) {
    if (std::to_string(runId) != id) continue;
    std::shared_ptr<Run> kept = run;
    kept->doneChanged.wait(hold, [&] { return kept->state != State::kRunning; });
    return true;
  }
  return false;
}

}  // namespace orla
