#pragma once
// NotificationGate: the one place where an element's status change becomes
// a notification north (the trap sender: SNMPv1 traps, SNMPv2c/SNMPv3 traps
// and informs). The registry tells the gate of every change and every
// unchanged poll; the event log has already recorded the change, whatever
// the gate decides.
//
// Maintenance: while a window of the element's (MaintenanceBook) covers
// now, its changes go no further. When the window ends (its end passed,
// seen at the next poll of any element, or ended early), an element whose
// last status is not OK (an alarm still standing) is notified once, with
// its current status and the overall status the agent reports now.
//
// Thread-safe: the polling threads, the status passes and the web server's
// threads (ending a window) call it; what goes north goes one at a time, in
// the order the gate decided it.
#include <map>
#include <mutex>
#include <string>

#include "agent/devices/status_change_listener.h"

namespace orla {

class MaintenanceBook;

class NotificationGate : public StatusChangeListener {
 public:
  // `north` gets what passes; `maintenance` may be null (no windows). Both
  // must outlive the gate.
  NotificationGate(StatusChangeListener* north, MaintenanceBook* maintenance);
  NotificationGate(const NotificationGate&) = delete;
  NotificationGate& operator=(const NotificationGate&) = delete;

  void NotifyStatusChange(const StatusChange& change) override;
  void NotifyPolled(const std::string& name) override;
  // The maintenance window of `element` has ended.
  void WindowEnded(const std::string& element);

 private:
  StatusChangeListener* const north_;
  MaintenanceBook* const maintenance_;
  std::mutex mutex_;
  // Each element's latest change, and the overall status after the latest.
  std::map<std::string, StatusChange> last_;
  char overall_ = '0';
};

}  // namespace orla
