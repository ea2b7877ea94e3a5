#pragma once
// The events console's query: which events a request asks for (element,
// least severity, kind, text, time range, page) and the matching events,
// newest first. The in-memory ring (EventRing) is read first; only when the
// asked page starts at or past the ring's matches (or for the CSV export) are
// the event-log files read (the live one, then the older ones its rotation
// keeps), and only their entries older than the ring's oldest (a bounded
// read, see EventLogFileReader), so nothing is counted twice and the first
// page never waits for the files.
//
// Changes (the kind "change") are answered from the audit trail's change
// files alone when there are any (AuditTrail::ChangeFilePaths): they hold
// every change from the pages and the tools, however many other events
// the ring and the event-log files have seen since.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/event_ring.h"

namespace orla {

class EventQuery {
 public:
  static constexpr size_t kDefaultLimit = 50;
  static constexpr size_t kMaxLimit = 500;
  // A CSV export holds at most this many rows.
  static constexpr size_t kMaxExport = 20000;

  struct Result {
    std::vector<RecordedEvent> events;  // the asked page, newest first
    size_t total = 0;                   // every match found
    // True only when every entry that could match was read: false when the
    // event-log files were not read for this answer, or not to their start
    // (the read budget ran out): older matches may then exist beyond `total`.
    bool complete = true;
  };

  // Filters from form fields (the request's query string): element (a name
  // or an address, exact, any case), severity ("info", "warning",
  // "critical": that one or worse), kind ("trap", "status", "change",
  // "login", "agent"; without one every kind but "login": successful
  // log-ins are shown only when asked for), after (only the entries
  // logged after the one with this sequence number: the ring alone, for a
  // page that asks cheaply whether something new came), text
  // (in the text, element, address or trap, any case), from / to
  // (milliseconds since 1970 UTC, inclusive), offset and limit. `field`
  // answers a field's value or none; bad numbers are taken as absent.
  static EventQuery FromFields(const std::function<std::optional<std::string>(const char*)>& field);

  // The matches from `ring`, then from the files `logFiles` (newest first,
  // EventLogWriter::FilePaths; none: the ring only); for the kind "change",
  // from `changeFiles` only when it names any.
  Result Run(const EventRing& ring, const std::vector<std::string>& logFiles,
             const std::vector<std::string>& changeFiles = {}) const;
  // Every match up to kMaxExport, newest first, handed to `row` as it is
  // found (the CSV export, which keeps none of them). `flush` is called
  // after the ring's matches and after every kFlushRows from the files:
  // `row` runs under the ring's lock for the former, so it must not block,
  // and `flush` may.
  static constexpr size_t kFlushRows = 100;
  void Export(const EventRing& ring, const std::vector<std::string>& logFiles,
              const std::function<void(const RecordedEvent&)>& row, const std::function<void()>& flush,
              const std::vector<std::string>& changeFiles = {}) const;

  bool Matches(const RecordedEvent& event) const;


  std::string element;
  int minSeverity = 0;
  std::string kind;
  std::string text;  // as given; compared without case
  int64_t fromMs = -1;
  int64_t toMs = -1;
  size_t offset = 0;
  size_t limit = kDefaultLimit;
  uint64_t afterSequence = 0;  // 0: no bound

 private:
  // The walk behind both: every match, newest first, goes to `take` (which
  // answers false to end the walk); the files are read only when
  // `readFiles`, given the ring's number of matches, says so. True when
  // every entry that could match was seen.
  bool Walk(const EventRing& ring, const std::vector<std::string>& logFiles,
            const std::vector<std::string>& changeFiles, const std::function<bool(size_t ringMatches)>& readFiles,
            const std::function<bool(const RecordedEvent&)>& take) const;

  std::string lowerText_;
};

}  // namespace orla
