#pragma once
// EventsCsvPage: "/KOR/events.csv", what the events console's filter shows
// (the same query string as events.json, paging aside: every match, up to
// EventQuery::kMaxExport rows, newest first) as a CSV file to download:
//   Time (UTC),Severity,Kind,Element,Address,Trap,Text
// Every field is CSV-quoted as needed and guarded against spreadsheet
// formulas. Signed-in users only (any right). The rows are sent as they are
// found, a hundred at a time, so an export never holds them all.
#include <cstdint>

#include "event_query.h"
#include "web_page.h"

namespace orla {

class EventsCsvPage : public WebPage {
 public:
  using WebPage::WebPage;

  uint32_t HandleGet() override;

  static const char* const kHeaderRow;
  // One event's row, with its line break.
  static std::string Row(const RecordedEvent& event);
};

}  // namespace orla
