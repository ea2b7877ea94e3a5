#pragma once
// The most recent event-log entries, kept in memory for the web console and
// the metrics: EventLog::Write appends every entry it writes (with the same
// time stamp the event-log file line carries), so the browser never reads
// log files on a hot path. A fixed number of entries is kept (10,000 for the
// process's ring); the oldest make room for new ones. Running totals per
// severity count every entry ever appended, kept or not.
//
// Any thread may append and read; readers get copies (or visit under the
// ring's lock, newest first, without copying).
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace orla {

// Where an entry came from, as far as the writer knows it.
struct EventOrigin {
  // "trap" (a received trap), "status" (an element's status changed) or
  // "agent" (everything else the agent logs).
  std::string kind = "agent";
  std::string element;  // the element's name; empty when none
  std::string address;  // the element's (or trap sender's) address; empty when none
  std::string trap;     // a trap's identity, e.g. "coldStart" or ".1.3.6.1.3.94.0.3"
  // The severity the console shows when it differs from the logged one (0,
  // 1, 2): a received trap is logged as a WARNING, while its plug-in may
  // say it is information (a drive back to ok) or critical (a fatal
  // TapeAlert). -1: the logged severity.
  int shownSeverity = -1;
};

// One logged entry.
struct RecordedEvent {
  uint64_t sequence = 0;  // 1 for the first entry appended, then counting up
  int64_t timeMs = 0;     // milliseconds since 1970-01-01 UTC
  int severity = 0;       // EventLog::kInfo 0, kWarning 1, kCritical 2
  EventOrigin origin;
  std::string text;       // as logged, behind its "INFO: "/"WARNING: "/"CRITICAL: " prefix
};

class EventRing {
 public:
  static constexpr size_t kDefaultCapacity = 10000;

  explicit EventRing(size_t capacity = kDefaultCapacity);
  EventRing(const EventRing&) = delete;
  EventRing& operator=(const EventRing&) = delete;

  // The process's ring, fed by EventLog::Write.
  static EventRing& Instance();

  // Appends one entry and answers its sequence number. A severity outside
  // 0..2 is counted as a warning; the origin's shownSeverity, when it names
  // one, stands in for `severity`.
  uint64_t Append(int64_t timeMs, int severity, EventOrigin origin, std::string text);

  // Copies of the entries kept, oldest first; only those with a sequence
  // number above `afterSequence` when it is given.
  std::vector<RecordedEvent> Snapshot(uint64_t afterSequence = 0) const;
  // Calls `visit` for the entries kept, newest first, under the ring's lock,
  // until it answers false. `visit` must not block or write to the event log.
  void VisitNewestFirst(const std::function<bool(const RecordedEvent&)>& visit) const;

  // The sequence number of the newest entry; 0 when none was appended yet.
  uint64_t LastSequence() const;

 private:
  const size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<RecordedEvent> entries_;
  uint64_t lastSequence_ = 0;
};

}  // namespace orla
