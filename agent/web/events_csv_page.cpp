#include "events_csv_page.h"

#include "events_json_page.h"
#include "platform/eventlog/event_log_writer.h"
#include "text_escape.h"

namespace orla {

std::string EventsCsvPage::Render(const EventQuery::Result& result) {
  std::string out = "Time (UTC),Severity,Kind,Element,Address,Trap,Text\r\n";
  for (const RecordedEvent& e : result.events) {
    out += EventLogWriter::IsoTime(e.timeMs) + ',' + EventsJsonPage::SeverityName(e.severity) + ',' +
           TextEscape::Csv(e.origin.kind) + ',' + TextEscape::Csv(e.origin.element) + ',' +
           TextEscape::Csv(e.origin.address) + ',' + TextEscape::Csv(e.origin.trap) + ',' + TextEscape::Csv(e.text) +
           "\r\n";
  }
  return out;
}

uint32_t EventsCsvPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  const EventQuery query = EventQuery::FromFields([this](const char* name) { return GetField(name); });
  Append(Render(query.Run(EventRing::Instance(), EventLogWriter::FilePath(), true)));
  return SendContent("text/csv; charset=utf-8", "Content-Disposition: attachment; filename=\"events.csv\"\r\n");
}

}  // namespace orla
