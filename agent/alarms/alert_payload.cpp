#include "agent/alarms/alert_payload.h"

#include "platform/eventlog/event_log_writer.h"

namespace orla {

namespace {

std::string Quoted(const std::string& text) { return "\"" + EventLogWriter::JsonEscape(text) + "\""; }

std::string ObjectJson(const AlertPayload::Labels& members) {
  std::string json = "{";
  for (const auto& [name, value] : members) {
    if (json.size() > 1) json += ',';
    json += Quoted(name) + ":" + Quoted(value);
  }
  return json + "}";
}

// A label name may hold letters, digits and underscores only, and must
// not start with a digit.
std::string LabelName(const std::string& text) {
  std::string name;
  for (const char c : text) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    name += letter || (c >= '0' && c <= '9' && !name.empty()) ? c : '_';
  }
  return name.empty() ? "part" : name;
}

}  // namespace

AlertPayload::Labels AlertPayload::LabelsOf(const Alarm& alarm) {
  Labels labels = {{"alertname", kAlertName},
                   {"element", alarm.element},
                   {"address", alarm.address},
                   {"severity", Alarm::SeverityName(alarm.severity)},
                   {"kind", alarm.kind}};
  if (!alarm.part.empty()) {
    // The whole part keeps two conditions of one drive apart; its first
    // name and number ("drive:3:tapealert:20") also as a label of its own.
    labels.push_back({"part", alarm.part});
    const size_t colon = alarm.part.find(':');
    if (colon != std::string::npos) {
      const size_t end = alarm.part.find(':', colon + 1);
      const std::string name = LabelName(alarm.part.substr(0, colon));
      if (name != "part") labels.push_back({name, alarm.part.substr(colon + 1, end == std::string::npos ? end : end - colon - 1)});
    }
  }
  if (alarm.state == Alarm::State::kAcknowledged) labels.push_back({"acknowledged", "true"});
  return labels;
}

std::string AlertPayload::AlertJson(const Alarm& alarm, int64_t endsMs) {
  std::string description = alarm.reason;
  if (alarm.sinceMs > 0) description += " (since " + EventLogWriter::IsoTime(alarm.sinceMs) + ")";
  if (alarm.state == Alarm::State::kAcknowledged) {
    description += ". Acknowledged by " + alarm.acknowledgement.user;
    if (!alarm.acknowledgement.note.empty()) description += ": " + alarm.acknowledgement.note;
  }
  const Labels annotations = {{"summary", alarm.element + " (" + alarm.address + "): " + alarm.reason},
                              {"description", description}};
  std::string json = "{\"labels\":" + ObjectJson(LabelsOf(alarm)) + ",\"annotations\":" + ObjectJson(annotations);
  if (alarm.sinceMs > 0) json += ",\"startsAt\":" + Quoted(EventLogWriter::IsoTime(alarm.sinceMs));
  return json + ",\"endsAt\":" + Quoted(EventLogWriter::IsoTime(endsMs)) + "}";
}

std::string AlertPayload::ArrayJson(const std::vector<std::string>& alerts) {
  std::string json = "[";
  for (const std::string& alert : alerts) {
    if (json.size() > 1) json += ',';
    json += alert;
  }
  return json + "]";
}

std::string AlertPayload::SilenceJson(const std::string& element, int64_t startsMs, int64_t endsMs,
                                      const std::string& createdBy, const std::string& comment,
                                      const std::string& signature) {
  return "{\"matchers\":[{\"name\":\"element\",\"value\":" + Quoted(element) +
         ",\"isRegex\":false,\"isEqual\":true}],\"startsAt\":" + Quoted(EventLogWriter::IsoTime(startsMs)) +
         ",\"endsAt\":" + Quoted(EventLogWriter::IsoTime(endsMs)) + ",\"createdBy\":" +
         Quoted(createdBy.empty() ? "KORAgent" : createdBy) + ",\"comment\":" +
         Quoted((comment.empty() ? "Maintenance of " + element : comment) + SilenceMark(signature)) + "}";
}

std::string AlertPayload::SilenceMark(const std::string& signature) { return " [" + signature + "]"; }

}  // namespace orla
