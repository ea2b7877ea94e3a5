#pragma once
// HistoryPage: "/KOR/history.html?element=NAME", an element's history as
// charts: per port the errors per hour stacked by kind and the throughput,
// per drive the mounts per day and the hours, the library's slots in use,
// over a day, a week, a month or a year. The page is a frame that
// history.js fills from the history endpoint (elements/NAME/history) with
// Chart.js, which the agent serves itself; under each chart a disclosure
// opens a table of the same points (for screen readers). The one value written here is the element's name,
// HTML-escaped. Signed-in users only (any right).
#include <cstdint>

#include "web_page.h"

namespace orla {

class HistoryPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;
};

}  // namespace orla
