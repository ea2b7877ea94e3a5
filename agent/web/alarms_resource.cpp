#include "alarms_resource.h"

#include <optional>
#include <vector>

#include "agent/alarms/alarm_book.h"
#include "agent/alarms/alert_pusher.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "platform/sync/clock.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string Text(const std::string& text) { return "\"" + TextEscape::Json(text) + "\""; }

std::string Time(int64_t ms) { return ms > 0 ? std::to_string(ms) : std::string("null"); }

std::vector<ElementView> Elements() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
}

ApiReply Refused(AlarmBook::Outcome outcome) {
  using Outcome = AlarmBook::Outcome;
  const char* text = AlarmBook::Text(outcome);
  switch (outcome) {
    case Outcome::kNoSuchAlarm: return ApiReply::Error(404, text);
    case Outcome::kNotActive:
    case Outcome::kNotAcknowledged: return ApiReply::Error(409, text);
    case Outcome::kBadNote: return ApiReply::Error(400, text, "note");
    case Outcome::kBadExpiry: return ApiReply::Error(400, text, "expiresMinutes");
    case Outcome::kNotSaved:
    case Outcome::kDone: break;
  }
  return ApiReply::Error(500, text);
}

}  // namespace

std::string AlarmsResource::AlarmJson(const Alarm& a) {
  std::string json = "{\"id\":" + Text(a.id) + ",\"element\":" + Text(a.element) + ",\"address\":" +
                     Text(a.address) + ",\"kind\":" + Text(a.kind) + ",\"part\":" + Text(a.part) +
                     ",\"severity\":\"" + Alarm::SeverityName(a.severity) + "\",\"reason\":" + Text(a.reason) +
                     ",\"since\":" + Time(a.sinceMs) + ",\"state\":\"" + Alarm::StateName(a.state) +
                     "\",\"acknowledgement\":";
  if (a.acknowledgement.atMs > 0) {
    const Alarm::Acknowledgement& taken = a.acknowledgement;
    json += "{\"by\":" + Text(taken.user) + ",\"at\":" + Time(taken.atMs) + ",\"note\":" + Text(taken.note) +
            ",\"expires\":" + Time(taken.expiresMs) + "}";
  } else {
    json += "null";
  }
  return json + ",\"cleared\":" + Time(a.clearedMs) + "}";
}

std::string AlarmsResource::ChangeText(bool acknowledged, const std::string& id, const std::string& note) {
  if (!acknowledged) return "withdrew the acknowledgement of the alarm " + id;
  return "acknowledged the alarm " + id + (note.empty() ? std::string() : " (" + note + ")");
}

ApiReply AlarmsResource::List(const ApiCall&) {
  AlarmBook* book = AgentObjects::Alarms();
  if (book == nullptr) return ApiReply::Error(500, kNoAlarms);
  std::string rows;
  for (const Alarm& alarm : book->Current(Elements())) {
    if (!rows.empty()) rows += ',';
    rows += AlarmJson(alarm);
  }
  return ApiReply::Json(200, StringPrintf("{\"now\":%lld,\"alarms\":[",
                                          static_cast<long long>(Clock::System()->WallMilliseconds())) +
                                 rows + "]}");
}

ApiReply AlarmsResource::Get(const ApiCall& call) {
  AlarmBook* book = AgentObjects::Alarms();
  if (book == nullptr) return ApiReply::Error(500, kNoAlarms);
  const std::optional<Alarm> found = book->Find(Elements(), call.name);
  if (!found) return ApiReply::Error(404, AlarmBook::kNoSuchAlarmText);
  return ApiReply::Json(200, AlarmJson(*found));
}

ApiReply AlarmsResource::Update(const ApiCall& call) {
  AlarmBook* book = AgentObjects::Alarms();
  if (book == nullptr) return ApiReply::Error(500, kNoAlarms);
  if (call.body == nullptr || !call.body->IsObject()) return ApiReply::Error(400, ApiCall::kNotAnObject);
  bool acknowledged = true;
  AlarmBook::Taking taking;
  taking.user = call.user;
  for (const JsonValue::Member& member : call.body->Members()) {
    const JsonValue& value = member.second;
    if (member.first == "note") {
      if (!value.IsString()) return ApiReply::Error(400, ApiCall::kNotAString, member.first);
      taking.note = value.StringValue();
    } else if (member.first == "expiresMinutes") {
      if (value.GetKind() == JsonValue::Kind::kNull) continue;
      if (!value.IsWholeNumber() || value.NumberValue() < 1 ||
          value.NumberValue() > static_cast<double>(AlarmBook::kExpiryLimitMinutes)) {
        return ApiReply::Error(400, AlarmBook::kBadExpiryText, member.first);
      }
      taking.expiresMinutes = static_cast<int64_t>(value.NumberValue());
    } else if (member.first == "acknowledged") {
      if (value.GetKind() != JsonValue::Kind::kBool) return ApiReply::Error(400, ApiCall::kNotABoolean, member.first);
      acknowledged = value.BoolValue();
    } else {
      return ApiReply::Error(400, ApiCall::kUnknownField, member.first);
    }
  }
  Alarm after;
  const AlarmBook::Outcome outcome = acknowledged ? book->Acknowledge(Elements(), call.name, taking, &after)
                                                  : book->Unacknowledge(Elements(), call.name, &after);
  if (outcome != AlarmBook::Outcome::kDone) return Refused(outcome);
  // The Alertmanagers hear of the new label at once, not at the next look.
  if (AlertPusher* pusher = AlertPusher::Instance()) pusher->Poke();
  if (call.recordChange) {
    call.recordChange(ChangeText(acknowledged, after.id, taking.note), after.element, after.address);
  }
  return ApiReply::Json(200, AlarmJson(after));
}

}  // namespace orla
