#include "agent/core/event_log.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform/eventlog/event_log_writer.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

struct SeverityInfo {
  const char* prefix;
  uint16_t eventType;
  uint16_t category;
};

const SeverityInfo kSeverities[] = {
    {"INFO: %s", 4, 0},
    {"WARNING: %s", 2, 1},
    {"CRITICAL: %s", 1, 2},
};

}  // namespace

void EventLog::Write(int severity, const std::string& text) { Write(severity, text, nullptr, 0); }

void EventLog::Write(int severity, const std::string& text, const void* data, size_t dataSize) {
  Write(severity, text, data, dataSize, EventOrigin());
}

void EventLog::Write(int severity, const std::string& text, const void* data, size_t dataSize,
                     const EventOrigin& origin) {
  if (severity < kInfo || severity > kCritical) return;
  const SeverityInfo& info = kSeverities[severity];
  const std::string line = StringPrintf(info.prefix, text.c_str());
  const bool withData = data != nullptr && dataSize != 0;
  // One instant for the file line and the ring entry.
  const int64_t now = Clock::System()->WallMilliseconds();
  try {
    EventRing::Instance().Append(now, severity, origin, line);
  } catch (const std::bad_alloc&) {
    // The file and journal entry still go out; the ring only misses this one.
  }
  EventLogWriter::Step failed = EventLogWriter::Step::kNone;
  // The element an entry is about goes into the file line and the journal
  // entry as fields of their own, whatever the text says.
  static const char* const kShown[] = {"info", "warning", "critical"};
  const bool shownApart = origin.shownSeverity >= 0 && origin.shownSeverity <= 2 && origin.shownSeverity != severity;
  const EventLogWriter::Subject subject{origin.element, origin.address,
                                        shownApart ? kShown[origin.shownSeverity] : ""};
  const int err = EventLogWriter::ReportAt(now, "KORAgent", info.eventType, info.category,
                                           withData ? kEventIdWithData : kEventIdPlain, line,
                                           withData ? data : nullptr, withData ? dataSize : 0, &failed, subject);
  if (err != 0) {
    // The log that cannot be opened is the event source that cannot be
    // registered; one that takes no entry is the report that failed.
    const char* step = failed == EventLogWriter::Step::kOpen ? "RegisterEventSource(): " : "ReportEvent(): ";
    std::printf("%s\n", (step + SystemErrorText(err)).c_str());
    std::fflush(stdout);
  }
}

std::string EventLog::SystemErrorText(int error) {
  char buffer[256];
  // strerror_r (GNU) returns the message, which may or may not be `buffer`.
  const char* message = strerror_r(error, buffer, sizeof buffer);
  return StringPrintf("Error = %d, ", error) + message + "\n";
}

}  // namespace orla
