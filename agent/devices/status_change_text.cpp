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
  const Bucket bucket = StatusBucket::Of(current);
  return bucket == Bucket::kDegraded || bucket == Bucket::kFailed ? EventLog::kWarning : EventLog::kInfo;
}

}  // namespace orla
