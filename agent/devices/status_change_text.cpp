#include "status_change_text.h"

#include "agent/core/event_log.h"

namespace orla {

namespace {
constexpr int32_t kOk = 0;
constexpr int32_t kDegraded = 1;
constexpr int32_t kFailed = 2;
}  // namespace

const char* StatusChangeText::Word(int32_t status) {
  switch (status) {
    case kOk: return "OK";
    case kDegraded: return "Degraded";
    case kFailed: return "Failed";
    default: return "Unknown";
  }
}

std::string StatusChangeText::Text(const std::string& name, const std::string& address, int32_t previous,
                                   int32_t current, const std::string& reason) {
  std::string text = name + " (" + address + "): " + Word(previous) + " \u2192 " + Word(current);
  if (!reason.empty()) text += ": " + reason;
  return text;
}

int StatusChangeText::Severity(int32_t current) {
  return current == kDegraded || current == kFailed ? EventLog::kWarning : EventLog::kInfo;
}

}  // namespace orla
