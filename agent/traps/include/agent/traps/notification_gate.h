#pragma once
// NotificationGate: the one place where an element's status change becomes
// a notification north (the trap sender: SNMPv1 traps, SNMPv2c/SNMPv3 traps
// and informs). The registry tells the gate of every change and every poll
// that changed nothing; the event log has already recorded each change,
// whatever the gate decides.
//
// Damping: a new status is notified once it has held for `holdPolls`
// polls of its element (the poll that found it counts; 1: at once); one
// that goes back to the status last notified before that is not notified
// at all. An element whose status changes more than `flapChanges` times
// within `flapMinutes` is flapping: that change is notified at once, with
// a WARNING event saying so ("flapping"), and nothing more until it has
// settled (no more than `flapChanges` changes within the period and its
// status held for `holdPolls` polls), when its status is notified once
// more, with an INFO event. Removals pass at once.
//
// Maintenance: while a window of the element's (MaintenanceBook) covers
// now, nothing of it goes north. When the window ends (its end passed,
// seen by the book's end timer or at the next change or poll of any
// element, or ended early), an element whose latest status is not OK (an
// alarm still standing) is notified once, with its current status and the
// overall status of the latest change; not again when that status already
// went north since the window's end (a poll at the same moment).
//
// Thread-safe: the polling threads, the status passes and the web server's
// threads (ending a window) call it; what goes north goes one at a time, in
// the order the gate decided it.
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>

#include "agent/devices/status_change_listener.h"

namespace orla {

class Clock;
class MaintenanceBook;

class NotificationGate : public StatusChangeListener {
 public:
  struct Damping {
    int holdPolls = 2;
    int flapChanges = 5;
    int flapMinutes = 30;
  };

  // `north` gets what passes; `maintenance` may be null (no windows);
  // `clock` null: the system's. Both must outlive the gate.
  NotificationGate(StatusChangeListener* north, MaintenanceBook* maintenance, Damping damping,
                   Clock* clock = nullptr);
  NotificationGate(const NotificationGate&) = delete;
  NotificationGate& operator=(const NotificationGate&) = delete;

  void NotifyStatusChange(const StatusChange& change) override;
  void NotifyPolled(const std::string& name) override;
  // The maintenance window of `element` ended at `endedMs` (ms since
  // 1970 UTC).
  void WindowEnded(const std::string& element, int64_t endedMs);

 private:
  static constexpr int32_t kNothingSent = -100;
  // What the gate knows of one element.
  struct Track {
    StatusChange last;             // its latest change
    int32_t notified = kNothingSent;  // the status last sent north (or found at start-up)
    bool pending = false;          // `last` waits for its polls
    int heldPolls = 0;             // polls since the latest change, that one included
    std::deque<int64_t> changesMs;  // the changes within the flap period
    bool flapping = false;
    int32_t north = kNothingSent;  // the status last handed north, and when
    int64_t northMs = 0;
  };

  // Sends `track`'s latest change north unless its element is in
  // maintenance; mutex_ held.
  void Send(Track& track);
  // Hands `change` (the track's element) north; mutex_ held.
  void North(Track& track, const StatusChange& change);
  void DropOldChanges(Track& track, int64_t nowMs) const;

  StatusChangeListener* const north_;
  MaintenanceBook* const maintenance_;
  const Damping damping_;
  Clock* const clock_;
  std::mutex mutex_;
  std::map<std::string, Track> tracks_;
  char overall_ = '0';  // the overall status after the latest change
};

}  // namespace orla
