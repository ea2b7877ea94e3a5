#include "agent/alarms/alarm_change_relay.h"

#include "agent/alarms/alert_pusher.h"

namespace orla {

void AlarmChangeRelay::NotifyStatusChange(const StatusChange& change) {
  // The pusher first: the next listener may throw. The snapshot the pusher
  // reads already holds the change.
  if (AlertPusher* pusher = AlertPusher::Instance()) pusher->Poke();
  if (next_ != nullptr) next_->NotifyStatusChange(change);
}

void AlarmChangeRelay::NotifyPolled(const std::string& name) {
  if (next_ != nullptr) next_->NotifyPolled(name);
}

void AlarmChangeRelay::NotifySamplesTaken(const std::string& name,
                                          const std::shared_ptr<const DeviceSamples>& samples) {
  if (next_ != nullptr) next_->NotifySamplesTaken(name, samples);
}

}  // namespace orla
