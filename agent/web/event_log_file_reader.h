#pragma once
// Reads the older entries of the event-log file (KORAGENT_EVENT_LOG, one JSON
// object a line, as EventLogWriter writes it) for the events page: only the
// last kWindowBytes of the file, so a large file never makes a request slow
// or big. Lines that do not parse are skipped. Each entry becomes a
// RecordedEvent (sequence 0); its origin is recovered from what the line
// holds: a status change names its element in the text, a trap event record
// carries the element's name among its texts.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/core/event_ring.h"

namespace orla {

class EventLogFileReader {
 public:
  static constexpr size_t kWindowBytes = 4 * 1024 * 1024;

  // The entries of the file's last window written before `beforeMs` (every
  // entry when `beforeMs` is negative), oldest first. An absent or
  // unreadable file gives none.
  static std::vector<RecordedEvent> ReadBefore(const std::string& path, int64_t beforeMs,
                                               size_t windowBytes = kWindowBytes);
  // One line of the file; false when it is not an entry of that format.
  static bool ParseLine(const std::string& line, RecordedEvent* event);
  // "2026-12-07T10:00:00.123Z" as milliseconds since 1970 UTC; -1 when the
  // text is not such a time.
  static int64_t ParseIsoTime(const std::string& text);
};

}  // namespace orla
