#pragma once
// EventsPage: "/KOR/events.html", the events console: the agent's recent
// events (received traps, status changes, the agent's own warnings and
// errors) with filters by element, severity, kind, text and time range,
// paging, live refresh and a CSV export. The page is a frame the script
// events.js fills from events.json; the one value written here is the
// element filter the link asked for ("?element=NAME", from a row of the
// element list), HTML-escaped. Signed-in users only (any right).
#include <cstdint>

#include "web_page.h"

namespace orla {

class EventsPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
};

}  // namespace orla
