#pragma once
// EventsJsonPage: "/KOR/events.json", one page of the agent's recent events
// for the events console, newest first, filtered as EventQuery reads the
// query string. Signed-in users only (any right).
//
//   {"now":1765101600123,"total":120,"complete":true,"offset":0,"limit":50,
//    "events":[{"seq":812,"time":1765101599000,"severity":"warning",
//               "kind":"trap","element":"tc01","address":"127.0.1.11",
//               "trap":".1.3.6.1.3.94.0.4","text":"WARNING: ..."}]}
//
// "complete" is false when older matches may wait in the event-log file
// beyond "total" (the file is read only when a page reaches past the
// in-memory ring). Entries read from the file have "seq" 0.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "event_query.h"
#include "web_page.h"

namespace orla {

class EventsJsonPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;

  // The answer for the query the form fields `field` ask (EventQuery::
  // FromFields), as the page and the API's events resource send it.
  static std::string Answer(const std::function<std::optional<std::string>(const char*)>& field);
  // `last`: the newest entry's sequence number in the ring when the query
  // began ("last"; the page asks with after=last whether anything came).
  static std::string Render(const EventQuery& query, const EventQuery::Result& result, int64_t nowMs,
                            uint64_t last = 0);
  // "info", "warning" or "critical".
  static const char* SeverityName(int severity);
};

}  // namespace orla
