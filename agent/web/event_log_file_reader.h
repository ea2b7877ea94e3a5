#pragma once
// Reads the older entries of the event-log files (KORAGENT_EVENT_LOG and the
// older files its rotation keeps, one JSON object a line, as EventLogWriter
// writes them) for the events page, newest first: each file from its end
// backwards, a block at a time, so memory stays small however large the
// files are; at most a read budget of bytes per walk, so no request is slow
// without end. Lines that do not parse are skipped. Each entry becomes a
// RecordedEvent (sequence 0); its origin is recovered from what the line
// holds: a status change names its element in the text, a trap event record
// carries the element's name among its texts.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "agent/core/event_ring.h"

namespace orla {

class EventLogFileReader {
 public:
  static constexpr size_t kReadBudgetBytes = 64 * 1024 * 1024;
  static constexpr size_t kBlockBytes = 64 * 1024;
  // A line longer than this is not an entry of ours; it is skipped.
  static constexpr size_t kMaxLineBytes = 1024 * 1024;

  // Hands `visit` the entries of `paths` (the live file first, then the
  // older ones; missing files are passed over) written before `beforeMs`
  // (every entry when negative), newest first, until it answers false.
  // True when every file was read to its start; false when the walk
  // stopped at the budget or at `visit`'s word.
  static bool VisitNewestFirst(const std::vector<std::string>& paths, int64_t beforeMs,
                               const std::function<bool(RecordedEvent& event)>& visit,
                               size_t budgetBytes = kReadBudgetBytes);
  // One line of the file; false when it is not an entry of that format. A
  // line that names its origin ("kind", "element", "address": the change
  // file's) keeps it.
  static bool ParseLine(const std::string& line, RecordedEvent* event);
  // The value of `key` in one such line (a string unescaped, a number as
  // text); false when the line has no such key.
  static bool FieldOf(const std::string& line, const char* key, std::string* value);
  // "2026-12-07T10:00:00.123Z" as milliseconds since 1970 UTC; -1 when the
  // text is not such a time.
  static int64_t ParseIsoTime(const std::string& text);
};

}  // namespace orla
