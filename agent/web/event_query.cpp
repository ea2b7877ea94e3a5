#include "event_query.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "platform/text/ascii_case.h"
#include "event_log_file_reader.h"

namespace orla {

namespace {

std::optional<long long> Number(const std::optional<std::string>& text) {
  if (!text || text->empty()) return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const long long value = std::strtoll(text->c_str(), &end, 10);
  if (errno != 0 || end == nullptr || *end != '\0' || value < 0) return std::nullopt;
  return value;
}

}  // namespace

EventQuery EventQuery::FromFields(const std::function<std::optional<std::string>(const char*)>& field) {
  EventQuery query;
  query.element = field("element").value_or("");
  const std::string severity = AsciiCase::Lower(field("severity").value_or(""));
  query.minSeverity = severity == "critical" ? 2 : severity == "warning" ? 1 : 0;
  query.kind = AsciiCase::Lower(field("kind").value_or(""));
  query.text = field("text").value_or("");
  query.lowerText_ = AsciiCase::Lower(query.text);
  if (auto from = Number(field("from"))) query.fromMs = *from;
  if (auto to = Number(field("to"))) query.toMs = *to;
  if (auto offset = Number(field("offset"))) query.offset = static_cast<size_t>(*offset);
  if (auto after = Number(field("after"))) query.afterSequence = static_cast<uint64_t>(*after);
  if (auto limit = Number(field("limit"))) {
    query.limit = std::clamp<size_t>(static_cast<size_t>(std::min<long long>(*limit, kMaxLimit)), 1, kMaxLimit);
  }
  return query;
}

bool EventQuery::Matches(const RecordedEvent& event) const {
  if (event.severity < minSeverity) return false;
  if (kind.empty() ? event.origin.kind == "login" : event.origin.kind != kind) return false;
  if (fromMs >= 0 && event.timeMs < fromMs) return false;
  if (toMs >= 0 && event.timeMs > toMs) return false;
  if (!element.empty() && !AsciiCase::Equal(event.origin.element, element) &&
      event.origin.address != element) {
    return false;
  }
  if (lowerText_.empty()) return true;
  return AsciiCase::Contains(event.text, lowerText_) || AsciiCase::Contains(event.origin.element, lowerText_) ||
         AsciiCase::Contains(event.origin.address, lowerText_) || AsciiCase::Contains(event.origin.trap, lowerText_);
}

bool EventQuery::Walk(const EventRing& ring, const std::vector<std::string>& logFiles,
                      const std::vector<std::string>& changeFiles,
                      const std::function<bool(size_t ringMatches)>& readFiles,
                      const std::function<bool(const RecordedEvent&)>& take) const {
  if (kind == "change" && !changeFiles.empty()) {
    // Every change is in the change files, and nothing else is: neither the
    // ring nor the event-log files are needed. (Read as files are: an
    // export flushes as it goes.)
    if (!readFiles(0)) return false;
    bool stopped = false;
    const bool whole = EventLogFileReader::VisitNewestFirst(changeFiles, -1, [&](RecordedEvent& event) {
      if (!Matches(event)) return true;
      stopped = !take(event);
      return !stopped;
    });
    return whole && !stopped;
  }
  size_t ringMatched = 0;
  bool going = true;
  int64_t ringOldest = -1;
  bool ringEmpty = true;
  ring.VisitNewestFirst([&](const RecordedEvent& event) {
    // Newest first: the first entry at or below the bound ends the walk.
    if (afterSequence != 0 && event.sequence <= afterSequence) return false;
    ringOldest = event.timeMs;  // at the end of the walk: the oldest entry kept
    ringEmpty = false;
    // An entry outside the range is skipped. (The ring is in the order of
    // arrival: a tool's change taken in from the change file may come after
    // newer entries, so an older entry does not end the walk.)
    if (fromMs >= 0 && event.timeMs < fromMs) return true;
    if (!Matches(event)) return true;
    ++ringMatched;
    going = take(event);
    return going;
  });
  if (!going) return false;
  // What came after a sequence number is all in the ring (file entries
  // carry none).
  if (afterSequence != 0) return true;
  const bool rangeInRing = fromMs >= 0 && !ringEmpty && fromMs >= ringOldest;
  if (logFiles.empty() || rangeInRing) return true;
  // The files are read only for a page that starts past the ring's matches
  // (or when the ring has none): the first page of a filter the ring
  // answers never waits for them. The answer then says older matches may
  // exist.
  if (!readFiles(ringMatched)) return false;
  bool stopped = false;
  const bool whole =
      EventLogFileReader::VisitNewestFirst(logFiles, ringEmpty ? -1 : ringOldest, [&](RecordedEvent& event) {
        if (!Matches(event)) return true;
        stopped = !take(event);
        return !stopped;
      });
  return whole && !stopped;
}

EventQuery::Result EventQuery::Run(const EventRing& ring, const std::vector<std::string>& logFiles,
                                   const std::vector<std::string>& changeFiles) const {
  Result result;
  result.complete = Walk(
      ring, logFiles, changeFiles, [&](size_t ringMatches) { return offset >= ringMatches; },
      [&](const RecordedEvent& event) {
        if (result.total >= offset && result.events.size() < limit) result.events.push_back(event);
        ++result.total;
        return true;
      });
  return result;
}

void EventQuery::Export(const EventRing& ring, const std::vector<std::string>& logFiles,
                        const std::function<void(const RecordedEvent&)>& row,
                        const std::function<void()>& flush, const std::vector<std::string>& changeFiles) const {
  size_t rows = 0;
  auto take = [&](const RecordedEvent& event) {
    row(event);
    return ++rows < kMaxExport;
  };
  bool inFiles = false;
  Walk(ring, logFiles, changeFiles,
       [&](size_t) {
         flush();
         inFiles = true;
         return true;
       },
       [&](const RecordedEvent& event) {
         const bool more = take(event);
         if (inFiles && rows % kFlushRows == 0) flush();
         return more;
       });
  flush();
}

}  // namespace orla
