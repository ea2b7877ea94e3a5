#include "agent/traps/notification_gate.h"

#include "agent/core/event_log.h"
#include "agent/core/maintenance_book.h"
#include "agent/devices/status_bucket.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

NotificationGate::NotificationGate(StatusChangeListener* north, MaintenanceBook* maintenance, Damping damping,
                                   Clock* clock)
    : north_(north), maintenance_(maintenance), damping_(damping), clock_(Clock::Or(clock)) {}

void NotificationGate::DropOldChanges(Track& track, int64_t nowMs) const {
  const int64_t period = static_cast<int64_t>(damping_.flapMinutes) * 60 * 1000;
  while (!track.changesMs.empty() && nowMs - track.changesMs.front() >= period) track.changesMs.pop_front();
}

void NotificationGate::Send(Track& track) {
  track.pending = false;
  track.notified = track.last.current;
  if (maintenance_ != nullptr && maintenance_->InMaintenanceNow(track.last.name)) return;
  StatusChange change = track.last;
  change.overall = overall_;
  North(track, change);
}

void NotificationGate::North(Track& track, const StatusChange& change) {
  track.north = change.current;
  track.northMs = clock_->WallMilliseconds();
  if (north_ != nullptr) north_->NotifyStatusChange(change);
}

void NotificationGate::NotifyStatusChange(const StatusChange& change) {
  // Windows that ended are told first (outside the gate's lock: the book
  // calls WindowEnded), so their elements count as out of maintenance.
  if (maintenance_ != nullptr) maintenance_->Expire();
  std::lock_guard<std::mutex> hold(mutex_);
  overall_ = change.overall;
  if (change.removed) {
    tracks_.erase(change.name);
    if (maintenance_ != nullptr && maintenance_->InMaintenanceNow(change.name)) return;
    if (north_ != nullptr) north_->NotifyStatusChange(change);
    return;
  }
  Track& track = tracks_[change.name];
  track.last = change;
  if (!change.afterLoad) {
    // The start-up's first pass: what the peers learn from the changes
    // that follow (the sender sends nothing for it).
    track.notified = change.current;
    if (north_ != nullptr) north_->NotifyStatusChange(change);
    return;
  }
  const int64_t now = clock_->WallMilliseconds();
  DropOldChanges(track, now);
  track.changesMs.push_back(now);
  track.heldPolls = 1;
  if (track.flapping) return;
  if (static_cast<int>(track.changesMs.size()) > damping_.flapChanges) {
    track.flapping = true;
    EventLog::Write(EventLog::kWarning,
                    StringPrintf("%s (%s): the status changed %d times within %d minutes: flapping. It is notified "
                                 "now and again once it settles.",
                                 change.name.c_str(), change.address.c_str(),
                                 static_cast<int>(track.changesMs.size()), damping_.flapMinutes));
    Send(track);
    return;
  }
  if (change.current == track.notified) {
    // Back where it was before anybody was told: nothing to tell.
    track.pending = false;
    return;
  }
  track.pending = true;
  if (track.heldPolls >= damping_.holdPolls) Send(track);
}

void NotificationGate::NotifyPolled(const std::string& name) {
  if (maintenance_ != nullptr) maintenance_->Expire();
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = tracks_.find(name);
  if (found == tracks_.end()) return;
  Track& track = found->second;
  ++track.heldPolls;
  if (track.flapping) {
    DropOldChanges(track, clock_->WallMilliseconds());
    if (static_cast<int>(track.changesMs.size()) > damping_.flapChanges || track.heldPolls < damping_.holdPolls) {
      return;
    }
    track.flapping = false;
    EventLog::Write(EventLog::kInfo, StringPrintf("%s (%s): the status has settled; it is notified again.",
                                                  track.last.name.c_str(), track.last.address.c_str()));
    Send(track);
    return;
  }
  if (track.pending && track.heldPolls >= damping_.holdPolls) Send(track);
}

void NotificationGate::WindowEnded(const std::string& element, int64_t endedMs) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = tracks_.find(element);
  if (found == tracks_.end()) return;
  Track& track = found->second;
  const StatusBucket::Kind bucket = StatusBucket::Of(track.last.current);
  if (bucket == StatusBucket::Kind::kOk || bucket == StatusBucket::Kind::kNotPolled) return;
  // A poll that came with the window's end (the book's timer and a polling
  // thread both saw it) may have sent this very status already.
  if (track.north == track.last.current && track.northMs >= endedMs) return;
  StatusChange standing = track.last;
  standing.overall = overall_;
  standing.afterLoad = true;
  track.pending = false;
  track.notified = standing.current;
  North(track, standing);
}

}  // namespace orla
