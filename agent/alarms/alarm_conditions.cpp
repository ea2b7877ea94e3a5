#include "agent/alarms/alarm_conditions.h"

#include "agent/core/event_log.h"
#include "agent/devices/status_bucket.h"

namespace orla {

namespace {

Alarm Condition(const ElementView& element, const char* kind, int severity, const std::string& reason,
                int64_t sinceMs) {
  Alarm alarm;
  alarm.element = element.record.name;
  alarm.address = element.record.address;
  alarm.kind = kind;
  alarm.id = Alarm::MakeId(alarm.element, alarm.kind, alarm.part);
  alarm.severity = severity;
  alarm.reason = reason;
  alarm.sinceMs = sinceMs;
  return alarm;
}

// The plug-in's reason, or the console's status word when it gave none.
std::string Or(const std::string& reason, const char* word) { return reason.empty() ? std::string(word) : reason; }

}  // namespace

std::vector<Alarm> AlarmConditions::Of(const ElementView& element, int64_t nowMs) {
  if (!element.record.Bound()) {
    const ElementStatusCell& cell = element.status;
    return {Condition(element, Alarm::kUnbound, EventLog::kWarning, element.record.unboundReason, cell.statusSinceMs)};
  }
  std::vector<Alarm> alarms = OfStatus(element);
  for (const TrapCondition& condition : element.status.trapConditions) {
    if (condition.untilMs <= nowMs) continue;
    Alarm alarm = Condition(element, Alarm::kTrap, condition.severity, condition.reason, condition.sinceMs);
    alarm.part = condition.part;
    alarm.id = Alarm::MakeId(alarm.element, alarm.kind, alarm.part);
    alarms.push_back(std::move(alarm));
  }
  return alarms;
}

std::vector<Alarm> AlarmConditions::OfStatus(const ElementView& element) {
  const ElementStatusCell& cell = element.status;
  if (!element.record.Bound()) {
    return {Condition(element, Alarm::kUnbound, EventLog::kWarning, element.record.unboundReason, cell.statusSinceMs)};
  }
  if (cell.stale) return {Condition(element, Alarm::kStale, EventLog::kWarning, cell.reason, cell.statusSinceMs)};
  const StatusBucket::Kind bucket = StatusBucket::Of(cell.status);
  if (bucket == StatusBucket::Kind::kNotPolled) return {};
  if (!cell.answeredLastPoll) {
    const int64_t since = cell.lastAnsweredMs > 0 ? cell.lastAnsweredMs : cell.statusSinceMs;
    return {Condition(element, Alarm::kUnanswered, EventLog::kCritical, Or(cell.reason, kNotAnswering), since)};
  }
  switch (bucket) {
    case StatusBucket::Kind::kOk:
    case StatusBucket::Kind::kNotPolled:
      return {};
    case StatusBucket::Kind::kFailed:
      return {Condition(element, Alarm::kStatus, EventLog::kCritical, Or(cell.reason, "Failed"), cell.statusSinceMs)};
    case StatusBucket::Kind::kDegraded:
      return {Condition(element, Alarm::kStatus, EventLog::kWarning, Or(cell.reason, "Degraded"), cell.statusSinceMs)};
    case StatusBucket::Kind::kUnknown:
      break;
  }
  return {Condition(element, Alarm::kStatus, EventLog::kWarning, Or(cell.reason, "Unknown"), cell.statusSinceMs)};
}

}  // namespace orla
