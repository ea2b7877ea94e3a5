#include "events_json_page.h"

#include "agent/core/audit_trail.h"
#include "agent_objects.h"
#include "change_feed.h"
#include "platform/eventlog/event_log_writer.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

const char* EventsJsonPage::SeverityName(int severity) {
  switch (severity) {
    case 2: return "critical";
    case 1: return "warning";
    default: return "info";
  }
}

std::string EventsJsonPage::Render(const EventQuery& query, const EventQuery::Result& result, int64_t nowMs,
                                   uint64_t last) {
  std::string out = StringPrintf("{\"now\":%lld,\"last\":%llu,\"total\":%zu,\"complete\":%s,\"offset\":%zu,\"limit\":%zu,\"events\":[",
                                 static_cast<long long>(nowMs), static_cast<unsigned long long>(last), result.total, result.complete ? "true" : "false",
                                 query.offset, query.limit);
  out.reserve(out.size() + result.events.size() * 200);
  bool first = true;
  for (const RecordedEvent& e : result.events) {
    if (!first) out += ',';
    first = false;
    out += StringPrintf("{\"seq\":%llu,\"time\":%lld,\"severity\":\"%s\",\"kind\":\"",
                        static_cast<unsigned long long>(e.sequence), static_cast<long long>(e.timeMs),
                        SeverityName(e.severity));
    out += TextEscape::Json(e.origin.kind) + "\",\"element\":\"" + TextEscape::Json(e.origin.element) +
           "\",\"address\":\"" + TextEscape::Json(e.origin.address) + "\",\"trap\":\"" +
           TextEscape::Json(e.origin.trap) + "\",\"text\":\"" + TextEscape::Json(e.text) + "\"}";
  }
  return out + "]}";
}

std::string EventsJsonPage::Answer(const std::function<std::optional<std::string>(const char*)>& field) {
  const EventQuery query = EventQuery::FromFields(field);
  if (ChangeFeed* changes = AgentObjects::Changes()) changes->CatchUp(EventRing::Instance());
  // Read before the walk: an entry logged meanwhile is newer than `last`,
  // so the page's next check finds it (at worst twice, never not at all).
  const uint64_t last = EventRing::Instance().LastSequence();
  const EventQuery::Result result =
      query.Run(EventRing::Instance(), EventLogWriter::FilePaths(), AuditTrail::ChangeFilePaths());
  return Render(query, result, Clock::System()->WallMilliseconds(), last);
}

uint32_t EventsJsonPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  Append(Answer([this](const char* name) { return GetField(name); }));
  return SendContent("application/json; charset=utf-8");
}

}  // namespace orla
