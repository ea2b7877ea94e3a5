#include "agent/alarms/alarm_book.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "agent/alarms/alarm_conditions.h"
#include "agent/core/event_log.h"
#include "agent/core/state_file.h"
#include "agent/core/maintenance_book.h"
#include "platform/sync/clock.h"

namespace orla {

namespace {

bool WorseFirst(const Alarm& a, const Alarm& b) {
  if (a.severity != b.severity) return a.severity > b.severity;
  if (a.sinceMs != b.sinceMs) return a.sinceMs < b.sinceMs;
  return a.id < b.id;
}

bool GoodNote(const std::string& note) {
  if (note.size() > AlarmBook::kNoteLimit) return false;
  return std::none_of(note.begin(), note.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7f;
  });
}

}  // namespace

const char* AlarmBook::Text(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone: return "";
    case Outcome::kNoSuchAlarm: return kNoSuchAlarmText;
    case Outcome::kNotActive: return kNotActiveText;
    case Outcome::kNotAcknowledged: return kNotAcknowledgedText;
    case Outcome::kBadNote: return kBadNoteText;
    case Outcome::kBadExpiry: return kBadExpiryText;
    case Outcome::kNotSaved: return kNotSavedText;
  }
  return "";
}

AlarmBook::AlarmBook(std::string path, Clock* clock, const MaintenanceBook* maintenance)
    : path_(std::move(path)), clock_(Clock::Or(clock)), maintenance_(maintenance) {
  Load();
}

void AlarmBook::Load() {
  std::string error;
  const int rc = AlarmFile::Read(path_, &acknowledgements_, &error);
  if (rc == 0) return;
  acknowledgements_.clear();
  StateFile::SetAside(path_, clock_->WallMilliseconds(), "The alarm acknowledgements", error,
                      "every alarm starts raised");
}

std::vector<Alarm> AlarmBook::Apply(const std::vector<ElementView>& elements) {
  const int64_t now = clock_->WallMilliseconds();
  AlarmFile::Acknowledgements next = acknowledgements_;
  bool changed = false;
  std::vector<Alarm> active;
  std::map<std::string, Alarm> seen;
  for (const ElementView& element : elements) {
    for (Alarm& alarm : AlarmConditions::Of(element, now)) {
      if (seen.count(alarm.id) != 0) continue;  // a name twice: the first element's
      if (alarm.sinceMs == 0) {
        auto before = active_.find(alarm.id);
        alarm.sinceMs = before != active_.end() ? before->second.sinceMs : now;
      }
      auto taken = next.find(alarm.id);
      if (taken != next.end()) {
        const bool expired = taken->second.expiresMs != 0 && now >= taken->second.expiresMs;
        if (expired || alarm.severity > taken->second.severity) {
          next.erase(taken);
          changed = true;
        } else {
          alarm.state = Alarm::State::kAcknowledged;
          alarm.acknowledgement = taken->second;
        }
      }
      if (maintenance_ != nullptr && maintenance_->InMaintenance(alarm.element, now)) {
        alarm.state = Alarm::State::kMaintenance;
      }
      seen.emplace(alarm.id, alarm);
      active.push_back(std::move(alarm));
    }
  }
  // An acknowledgement whose condition went has done its work.
  for (auto it = next.begin(); it != next.end();) {
    if (seen.count(it->first) == 0) {
      it = next.erase(it);
      changed = true;
    } else {
      ++it;
    }
  }
  for (auto& [id, before] : active_) {
    if (seen.count(id) != 0) continue;
    Alarm gone = std::move(before);
    gone.state = Alarm::State::kCleared;
    gone.clearedMs = now;
    cleared_.insert(cleared_.begin(), std::move(gone));
  }
  cleared_.erase(std::remove_if(cleared_.begin(), cleared_.end(),
                                [&](const Alarm& a) { return seen.count(a.id) != 0 || now - a.clearedMs > kClearedKeptMs; }),
                 cleared_.end());
  if (cleared_.size() > kClearedKept) cleared_.resize(kClearedKept);
  active_ = std::move(seen);
  if (changed) {
    const int rc = AlarmFile::Write(path_, next);
    if (rc != 0) {
      EventLog::Write(EventLog::kWarning, "The alarm acknowledgements could not be saved to " + path_ + ": " +
                                              EventLog::SystemErrorText(rc));
    }
    acknowledgements_ = std::move(next);
  }
  std::sort(active.begin(), active.end(), WorseFirst);
  return active;
}

std::vector<Alarm> AlarmBook::WithCleared(std::vector<Alarm> active) const {
  active.insert(active.end(), cleared_.begin(), cleared_.end());
  return active;
}

std::vector<Alarm> AlarmBook::Current(const std::vector<ElementView>& elements) {
  std::lock_guard<std::mutex> hold(mutex_);
  return WithCleared(Apply(elements));
}

std::optional<Alarm> AlarmBook::Find(const std::vector<ElementView>& elements, const std::string& id) {
  std::lock_guard<std::mutex> hold(mutex_);
  for (Alarm& alarm : WithCleared(Apply(elements))) {
    if (alarm.id == id) return std::move(alarm);
  }
  return std::nullopt;
}

AlarmBook::Outcome AlarmBook::Acknowledge(const std::vector<ElementView>& elements, const std::string& id,
                                          const Taking& taking, Alarm* after) {
  if (!GoodNote(taking.note)) return Outcome::kBadNote;
  if (taking.expiresMinutes < 0 || taking.expiresMinutes > kExpiryLimitMinutes) return Outcome::kBadExpiry;
  std::lock_guard<std::mutex> hold(mutex_);
  Apply(elements);
  auto found = active_.find(id);
  if (found == active_.end()) {
    const bool wasCleared = std::any_of(cleared_.begin(), cleared_.end(), [&](const Alarm& a) { return a.id == id; });
    return wasCleared ? Outcome::kNotActive : Outcome::kNoSuchAlarm;
  }
  Alarm alarm = found->second;
  Alarm::Acknowledgement taken;
  taken.user = taking.user;
  taken.atMs = clock_->WallMilliseconds();
  taken.note = taking.note;
  taken.expiresMs = taking.expiresMinutes > 0 ? taken.atMs + taking.expiresMinutes * 60 * 1000 : 0;
  taken.severity = alarm.severity;
  AlarmFile::Acknowledgements next = acknowledgements_;
  next[id] = taken;
  if (AlarmFile::Write(path_, next) != 0) return Outcome::kNotSaved;
  acknowledgements_ = std::move(next);
  alarm.state = Alarm::State::kAcknowledged;
  alarm.acknowledgement = taken;
  found->second = alarm;
  if (after != nullptr) *after = std::move(alarm);
  return Outcome::kDone;
}

AlarmBook::Outcome AlarmBook::Unacknowledge(const std::vector<ElementView>& elements, const std::string& id,
                                            Alarm* after) {
  std::lock_guard<std::mutex> hold(mutex_);
  Apply(elements);
  auto found = active_.find(id);
  if (found == active_.end()) {
    const bool wasCleared = std::any_of(cleared_.begin(), cleared_.end(), [&](const Alarm& a) { return a.id == id; });
    return wasCleared ? Outcome::kNotActive : Outcome::kNoSuchAlarm;
  }
  if (acknowledgements_.count(id) == 0) return Outcome::kNotAcknowledged;
  AlarmFile::Acknowledgements next = acknowledgements_;
  next.erase(id);
  if (AlarmFile::Write(path_, next) != 0) return Outcome::kNotSaved;
  acknowledgements_ = std::move(next);
  Alarm alarm = found->second;
  alarm.state = Alarm::State::kRaised;
  alarm.acknowledgement = Alarm::Acknowledgement();
  found->second = alarm;
  if (after != nullptr) *after = std::move(alarm);
  return Outcome::kDone;
}

}  // namespace orla
