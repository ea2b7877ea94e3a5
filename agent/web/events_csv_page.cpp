#include "events_csv_page.h"

#include "agent/core/audit_trail.h"
#include "agent_objects.h"
#include "change_feed.h"
#include "events_json_page.h"
#include "platform/eventlog/event_log_writer.h"
#include "text_escape.h"

namespace orla {

const char* const EventsCsvPage::kHeaderRow = "Time (UTC),Severity,Kind,Element,Address,Trap,Text\r\n";

std::string EventsCsvPage::Row(const RecordedEvent& e) {
  return EventLogWriter::IsoTime(e.timeMs) + ',' + EventsJsonPage::SeverityName(e.severity) + ',' +
         TextEscape::Csv(e.origin.kind) + ',' + TextEscape::Csv(e.origin.element) + ',' +
         TextEscape::Csv(e.origin.address) + ',' + TextEscape::Csv(e.origin.trap) + ',' + TextEscape::Csv(e.text) +
         "\r\n";
}

uint32_t EventsCsvPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  const EventQuery query = EventQuery::FromFields([this](const char* name) { return GetField(name); });
  BeginContent("text/csv; charset=utf-8", "Content-Disposition: attachment; filename=\"events.csv\"\r\n");
  Append(kHeaderRow);
  if (ChangeFeed* changes = AgentObjects::Changes()) changes->CatchUp(EventRing::Instance());
  query.Export(
      EventRing::Instance(), EventLogWriter::FilePaths(), [this](const RecordedEvent& e) { Append(Row(e)); },
      [this] { FlushOutput(); }, AuditTrail::ChangeFilePaths());
  return kAnswered;
}

}  // namespace orla
