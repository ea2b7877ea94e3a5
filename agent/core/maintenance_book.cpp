#include "agent/core/maintenance_book.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <utility>

#include "agent/core/event_log.h"
#include "agent/core/maintenance_silences.h"
#include "agent/core/state_file.h"
#include "platform/sync/clock.h"

namespace orla {

std::atomic<MaintenanceBook*> MaintenanceBook::instance_{nullptr};

MaintenanceBook* MaintenanceBook::Instance() { return instance_.load(std::memory_order_acquire); }

void MaintenanceBook::SetInstance(MaintenanceBook* book) { instance_.store(book, std::memory_order_release); }

const char* MaintenanceBook::Text(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone: return "";
    case Outcome::kBadReason: return kBadReasonText;
    case Outcome::kBadEnd: return kBadEndText;
    case Outcome::kNotInMaintenance: return kNotInMaintenanceText;
    case Outcome::kNotSaved: return kNotSavedText;
  }
  return "";
}

bool MaintenanceBook::GoodReason(const std::string& reason) {
  if (reason.empty() || reason.size() > kReasonLimit) return false;
  return std::none_of(reason.begin(), reason.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

MaintenanceBook::MaintenanceBook(std::string path, Clock* clock)
    : path_(std::move(path)), clock_(Clock::Or(clock)) {
  Load();
}

MaintenanceBook::~MaintenanceBook() {
  timerStop_.store(true);
  timerWake_.Set();
  if (timer_.joinable()) timer_.join();
}

void MaintenanceBook::StartEndTimer() {
  if (!timer_.joinable()) timer_ = std::thread([this] { RunEndTimer(); });
}

void MaintenanceBook::RunEndTimer() {
  while (!timerStop_.load()) {
    // Reset before looking: a change made from here on wakes the wait.
    timerWake_.Reset();
    Expire();
    clock_->WaitFor(timerWake_, std::chrono::milliseconds(MillisecondsToNextEnd()));
  }
}

int64_t MaintenanceBook::MillisecondsToNextEnd() const {
  std::lock_guard<std::mutex> hold(mutex_);
  const int64_t now = NowMs();
  int64_t wait = kTimerLongestWaitMs;
  for (const auto& [name, w] : windows_) {
    if (w.endMs > now) wait = std::min(wait, w.endMs - now);
  }
  return wait;
}

int64_t MaintenanceBook::NowMs() const { return clock_->WallMilliseconds(); }

void MaintenanceBook::Load() {
  std::string error;
  const int rc = MaintenanceFile::Read(path_, &windows_, &error);
  if (rc == 0) {
    const int64_t now = NowMs();
    std::erase_if(windows_, [now](const auto& entry) { return entry.second.endMs <= now; });
    return;
  }
  windows_.clear();
  StateFile::SetAside(path_, NowMs(), "The maintenance windows", error, "no element is in maintenance");
}

MaintenanceBook::Outcome MaintenanceBook::Set(const std::vector<std::string>& elements, const Request& request,
                                              std::vector<MaintenanceWindow>* set) {
  std::vector<Placement> placements;
  placements.reserve(elements.size());
  for (const std::string& element : elements) placements.push_back({element, request});
  return SetEach(placements, set);
}

MaintenanceBook::Outcome MaintenanceBook::SetEach(const std::vector<Placement>& placements,
                                                  std::vector<MaintenanceWindow>* set) {
  const int64_t now = NowMs();
  std::vector<MaintenanceWindow> made;
  for (const Placement& p : placements) {
    if (!GoodReason(p.request.reason)) return Outcome::kBadReason;
    const int64_t start = p.request.startMs > 0 ? p.request.startMs : now;
    const int64_t end = p.request.endMs;
    if (end <= start || end <= now || end - start > kLimitMinutes * 60 * 1000) return Outcome::kBadEnd;
    made.push_back(MaintenanceWindow{p.element, start, end, p.request.reason, p.request.by});
  }
  {
    std::lock_guard<std::mutex> hold(mutex_);
    MaintenanceFile::Windows next = windows_;
    for (const MaintenanceWindow& w : made) next[w.element] = w;
    if (MaintenanceFile::Write(path_, next) != 0) return Outcome::kNotSaved;
    windows_ = std::move(next);
  }
  timerWake_.Set();
  // Outside the lock: the alerting side may ask the book while it queues.
  if (MaintenanceSilences* silences = MaintenanceSilences::Current()) {
    for (const MaintenanceWindow& w : made) silences->Silence(w.element, w.startMs, w.endMs, w.by, w.reason);
  }
  if (set != nullptr) *set = std::move(made);
  return Outcome::kDone;
}

MaintenanceBook::Outcome MaintenanceBook::End(const std::string& element, MaintenanceWindow* ended) {
  MaintenanceWindow was;
  bool wasActive = false;
  int64_t endedMs = 0;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    const int64_t now = NowMs();
    auto found = windows_.find(element);
    if (found == windows_.end() || found->second.endMs <= now) return Outcome::kNotInMaintenance;
    MaintenanceFile::Windows next = windows_;
    next.erase(element);
    if (MaintenanceFile::Write(path_, next) != 0) return Outcome::kNotSaved;
    was = found->second;
    wasActive = was.Covers(now);
    windows_ = std::move(next);
    endedMs = now;
  }
  timerWake_.Set();
  if (ended != nullptr) *ended = was;
  if (MaintenanceSilences* silences = MaintenanceSilences::Current()) silences->Unsilence(element);
  if (wasActive) {
    was.endMs = endedMs;
    TellEnded({was});
  }
  return Outcome::kDone;
}

void MaintenanceBook::Expire() {
  std::vector<MaintenanceWindow> ended;
  {
    std::lock_guard<std::mutex> hold(mutex_);
    const int64_t now = NowMs();
    for (auto it = windows_.begin(); it != windows_.end();) {
      if (it->second.endMs <= now) {
        ended.push_back(std::move(it->second));
        it = windows_.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (!ended.empty()) TellEnded(ended);
}

void MaintenanceBook::TellEnded(const std::vector<MaintenanceWindow>& ended) {
  std::lock_guard<std::mutex> hold(listenerMutex_);
  if (!listener_) return;
  for (const MaintenanceWindow& w : ended) listener_(w);
}

bool MaintenanceBook::InMaintenance(const std::string& element, int64_t atMs) const {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = windows_.find(element);
  return found != windows_.end() && found->second.Covers(atMs);
}

bool MaintenanceBook::InMaintenanceNow(const std::string& element) const { return InMaintenance(element, NowMs()); }

std::vector<MaintenanceWindow> MaintenanceBook::Windows() const {
  std::lock_guard<std::mutex> hold(mutex_);
  const int64_t now = NowMs();
  std::vector<MaintenanceWindow> out;
  for (const auto& [name, w] : windows_) {
    if (w.endMs > now) out.push_back(w);
  }
  return out;
}

void MaintenanceBook::SetEndListener(EndListener listener) {
  std::lock_guard<std::mutex> hold(listenerMutex_);
  listener_ = std::move(listener);
}

}  // namespace orla
