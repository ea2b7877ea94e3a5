#include "status_change_text.h"

#include "agent/core/event_log.h"
#include "agent/devices/status_bucket.h"

namespace orla {

using Bucket = StatusBucket::Kind;

const char* StatusChangeText::Word(int32_t status) {
  switch (StatusBucket::Of(status)) {
    case Bucket::kOk: return "OK";
    case Bucket::kDegraded: return "Degraded";
    case Bucket::kFailed: return "Failed";
    case Bucket::kNotPolled: return "Not polled yet";
    case Bucket::kUnknown: break;
  }
  return "Unknown";
}

std::string StatusChangeText::Text(const std::string& name, const std::string& address, int32_t previous,
                                   int32_t current, const std::string& reason) {
  std::string text = name + " (" + address + "): " + Word(previous) + " \u2192 " + Word(current);
  if (!reason.empty()) text += ": " + reason;
  return text;
}

int StatusChangeText::Severity(int32_t current) {
  switch (StatusBucket::Of(current)) {
    case Bucket::kFailed: return EventLog::kCritical;
    case Bucket::kOk: return EventLog::kInfo;
    case Bucket::kNotPolled: return EventLog::kInfo;  // no poll takes a status back there
    case Bucket::kDegraded:
    case Bucket::kUnknown: break;
  }
  return EventLog::kWarning;
}

}  // namespace orla
