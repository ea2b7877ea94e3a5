#pragma once
// AlarmChangeRelay: stands between the element registry and its status
// change listener (the notification gate). It hands every change and poll
// on unchanged and, on every change, pokes the running AlertPusher, so that
// an alarm a status change raises or clears leaves for the Alertmanagers at
// once rather than at the pusher's next periodic look. Never blocks.
#include <memory>
#include <string>

#include "agent/devices/status_change_listener.h"

namespace orla {

class AlarmChangeRelay final : public StatusChangeListener {
 public:
  // `next` (may be null) must outlive the relay.
  explicit AlarmChangeRelay(StatusChangeListener* next) : next_(next) {}

  void NotifyStatusChange(const StatusChange& change) override;
  void NotifyPolled(const std::string& name) override;
  void NotifySamplesTaken(const std::string& name, const std::shared_ptr<const DeviceSamples>& samples) override;

 private:
  StatusChangeListener* const next_;
};

}  // namespace orla
