#include "agent/core/orla_exception.h"

#include "agent/core/event_log.h"

namespace orla {

namespace {

thread_local bool quiet = false;

}  // namespace

OrlaException::Quiet::Quiet() : previous_(quiet) { quiet = true; }

OrlaException::Quiet::~Quiet() { quiet = previous_; }

OrlaException::OrlaException(int32_t code, uint32_t osError, const std::string& message)
    : code_(code), osError_(osError) {
  if (osError != 0) {
    message_ = EventLog::SystemErrorText(static_cast<int>(osError)) + message;
  } else {
    message_ = message;
  }
  const int severity = SeverityOf(code);
  if (severity >= 0 && !quiet) EventLog::Write(severity, message);
}

OrlaException::OrlaException(int32_t code, const std::string& systemText, const std::string& message)
    : code_(code), osError_(0), message_(systemText.empty() ? message : systemText + "\n" + message) {
  const int severity = SeverityOf(code);
  if (severity >= 0) EventLog::Write(severity, message, systemText.data(), systemText.size());
}

int OrlaException::SeverityOf(int32_t code) {
  if (code > 3000) return EventLog::kCritical;
  if (code > 2000) return EventLog::kWarning;
  if (code > 1000) return EventLog::kInfo;
  return -1;
}

}  // namespace orla
