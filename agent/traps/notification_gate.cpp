#include "agent/traps/notification_gate.h"

#include "agent/core/maintenance_book.h"
#include "agent/devices/status_bucket.h"

namespace orla {

NotificationGate::NotificationGate(StatusChangeListener* north, MaintenanceBook* maintenance)
    : north_(north), maintenance_(maintenance) {}

void NotificationGate::NotifyStatusChange(const StatusChange& change) {
  // Windows that ended are told first (outside the gate's lock: the book
  // calls WindowEnded), so their elements count as out of maintenance.
  if (maintenance_ != nullptr) maintenance_->Expire();
  std::lock_guard<std::mutex> hold(mutex_);
  if (change.removed) {
    last_.erase(change.name);
  } else {
    last_[change.name] = change;
  }
  overall_ = change.overall;
  if (maintenance_ != nullptr && maintenance_->InMaintenanceNow(change.name)) return;
  if (north_ != nullptr) north_->NotifyStatusChange(change);
}

void NotificationGate::NotifyPolled(const std::string&) {
  if (maintenance_ != nullptr) maintenance_->Expire();
}

void NotificationGate::WindowEnded(const std::string& element) {
  std::lock_guard<std::mutex> hold(mutex_);
  auto found = last_.find(element);
  if (found == last_.end()) return;
  const StatusBucket::Kind bucket = StatusBucket::Of(found->second.current);
  if (bucket == StatusBucket::Kind::kOk || bucket == StatusBucket::Kind::kNotPolled) return;
  StatusChange standing = found->second;
  standing.overall = overall_;
  standing.afterLoad = true;
  if (north_ != nullptr) north_->NotifyStatusChange(standing);
}

}  // namespace orla
