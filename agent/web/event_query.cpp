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

bool EventQuery::IsLoginText(const std::string& text) {
  static const std::string kStart = "The user ";
  return text.compare(0, kStart.size(), kStart) == 0 &&
         text.find(" logged in to the web server from ") != std::string::npos;
}

EventQuery::Result EventQuery::Run(const EventRing& ring, const std::string& logPath, bool everything) const {
  Result result;
  const size_t first = everything ? 0 : offset;
  const size_t count = everything ? kMaxExport : limit;
  auto take = [&](const RecordedEvent& event) {
    if (!Matches(event)) return;
    if (result.total >= first && result.events.size() < count) result.events.push_back(event);
    ++result.total;
  };
  int64_t ringOldest = -1;
  bool ringEmpty = true;
  ring.VisitNewestFirst([&](const RecordedEvent& event) {
    // A range that ends before this entry skips it; one that starts after
    // it ends the walk, as every older entry is older still.
    if (fromMs >= 0 && event.timeMs < fromMs) {
      ringOldest = event.timeMs;
      ringEmpty = false;
      return false;
    }
    take(event);
    ringOldest = event.timeMs;  // at the end of the walk: the oldest entry kept
    ringEmpty = false;
    return true;
  });
  const size_t ringMatched = result.total;
  const bool rangeInRing = fromMs >= 0 && !ringEmpty && fromMs >= ringOldest;
  if (logPath.empty() || rangeInRing) return result;
  // The file is read only for a page that starts past the ring's matches
  // (or when the ring has none): the first page of a filter the ring answers
  // never waits for it. The answer then says older matches may exist.
  if (!everything && first < ringMatched) {
    result.complete = false;
    return result;
  }
  std::vector<RecordedEvent> older = EventLogFileReader::ReadBefore(logPath, ringEmpty ? -1 : ringOldest);
  for (auto it = older.rbegin(); it != older.rend(); ++it) take(*it);
  return result;
}

}  // namespace orla
