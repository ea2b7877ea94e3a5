#include "maintenance_resource.h"

#include <ctime>
#include <optional>
#include <vector>

#include "agent/core/maintenance_book.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "event_log_file_reader.h"
#include "platform/text/string_printf.h"
#include "remove_element_page.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string Text(const std::string& text) { return "\"" + TextEscape::Json(text) + "\""; }

std::string IsoTime(int64_t ms) {
  const time_t seconds = static_cast<time_t>(ms / 1000);
  struct tm parts {};
  gmtime_r(&seconds, &parts);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

ApiReply Refused(MaintenanceBook::Outcome outcome, const char* endField) {
  using Outcome = MaintenanceBook::Outcome;
  const char* text = MaintenanceBook::Text(outcome);
  switch (outcome) {
    case Outcome::kBadReason: return ApiReply::Error(400, text, "reason");
    case Outcome::kBadEnd: return ApiReply::Error(400, text, endField);
    case Outcome::kNotInMaintenance: return ApiReply::Error(404, text);
    case Outcome::kNotSaved:
    case Outcome::kDone: break;
  }
  return ApiReply::Error(500, text);
}

}  // namespace

int64_t MaintenanceResource::ParseTime(const std::string& text) {
  // Whole seconds are the same time with ".000".
  if (text.size() == 20 && text.back() == 'Z') return EventLogFileReader::ParseIsoTime(text.substr(0, 19) + ".000Z");
  return EventLogFileReader::ParseIsoTime(text);
}

std::string MaintenanceResource::WindowJson(const MaintenanceWindow& w) {
  return StringPrintf("{\"element\":%s,\"start\":%lld,\"end\":%lld,\"reason\":%s,\"by\":%s}", Text(w.element).c_str(),
                      static_cast<long long>(w.startMs), static_cast<long long>(w.endMs), Text(w.reason).c_str(),
                      Text(w.by).c_str());
}

std::string MaintenanceResource::SetText(const MaintenanceWindow& w) {
  return "set a maintenance window for " + w.element + " from " + IsoTime(w.startMs) + " until " +
         IsoTime(w.endMs) + " (" + w.reason + ")";
}

std::string MaintenanceResource::EndText(const std::string& element) {
  return "ended the maintenance window of " + element;
}

ApiReply MaintenanceResource::List(const ApiCall&) {
  MaintenanceBook* book = MaintenanceBook::Instance();
  if (book == nullptr) return ApiReply::Error(500, kNoMaintenance);
  std::string rows;
  for (const MaintenanceWindow& w : book->Windows()) {
    if (!rows.empty()) rows += ',';
    rows += WindowJson(w);
  }
  return ApiReply::Json(200, StringPrintf("{\"now\":%lld,\"windows\":[", static_cast<long long>(book->NowMs())) +
                                 rows + "]}");
}

ApiReply MaintenanceResource::Create(const ApiCall& call) {
  MaintenanceBook* book = MaintenanceBook::Instance();
  if (book == nullptr) return ApiReply::Error(500, kNoMaintenance);
  if (std::optional<ApiReply> bad = call.OnlyFields({{"elements", ApiCall::Type::kStrings},
                                                     {"minutes", ApiCall::Type::kInteger},
                                                     {"end", ApiCall::Type::kString},
                                                     {"start", ApiCall::Type::kString},
                                                     {"reason", ApiCall::Type::kString}})) {
    return *bad;
  }
  const std::optional<std::vector<std::string>> names = call.Strings("elements");
  if (!names) return ApiReply::Error(400, ApiCall::kMissingField, "elements");
  if (names->empty()) return ApiReply::Error(400, kNoElements, "elements");
  ElementRegistry* registry = AgentObjects::FindRegistry();
  if (registry == nullptr) return ApiReply::Error(400, RemoveElementPage::kNoSuchElement, "elements");
  const std::shared_ptr<const ElementSnapshot> snapshot = registry->Snapshot();
  for (const std::string& name : *names) {
    if (snapshot->FindByName(name) == nullptr) return ApiReply::Error(400, RemoveElementPage::kNoSuchElement, "elements");
  }
  const std::optional<std::string> reason = call.Field("reason");
  if (!reason) return ApiReply::Error(400, ApiCall::kMissingField, "reason");
  MaintenanceBook::Request request;
  request.by = call.user;
  request.reason = *reason;
  if (const std::optional<std::string> start = call.Field("start")) {
    request.startMs = ParseTime(*start);
    if (request.startMs <= 0) return ApiReply::Error(400, kBadTime, "start");
  }
  const std::optional<long long> minutes = call.Integer("minutes");
  const std::optional<std::string> end = call.Field("end");
  if (minutes && end) return ApiReply::Error(400, kMinutesOrEnd, "end");
  if (!minutes && !end) return ApiReply::Error(400, ApiCall::kMissingField, "minutes");
  if (end) {
    request.endMs = ParseTime(*end);
    if (request.endMs <= 0) return ApiReply::Error(400, kBadTime, "end");
  } else {
    if (*minutes < 1 || *minutes > MaintenanceBook::kLimitMinutes) {
      return ApiReply::Error(400, MaintenanceBook::kBadEndText, "minutes");
    }
    const int64_t from = request.startMs > 0 ? request.startMs : book->NowMs();
    request.endMs = from + *minutes * 60 * 1000;
  }
  std::vector<MaintenanceWindow> set;
  const MaintenanceBook::Outcome outcome = book->Set(*names, request, &set);
  if (outcome != MaintenanceBook::Outcome::kDone) return Refused(outcome, end ? "end" : "minutes");
  std::string rows;
  for (const MaintenanceWindow& w : set) {
    if (call.recordChange) call.recordChange(SetText(w), w.element, snapshot->FindByName(w.element)->record.address);
    if (!rows.empty()) rows += ',';
    rows += WindowJson(w);
  }
  return ApiReply::Json(201, "{\"windows\":[" + rows + "]}");
}

ApiReply MaintenanceResource::End(const ApiCall& call) {
  MaintenanceBook* book = MaintenanceBook::Instance();
  if (book == nullptr) return ApiReply::Error(500, kNoMaintenance);
  MaintenanceWindow ended;
  const MaintenanceBook::Outcome outcome = book->End(call.name, &ended);
  if (outcome != MaintenanceBook::Outcome::kDone) return Refused(outcome, "end");
  std::string address;
  if (ElementRegistry* registry = AgentObjects::FindRegistry()) {
    const std::shared_ptr<const ElementSnapshot> snapshot = registry->Snapshot();
    if (const ElementSnapshot::Entry* entry = snapshot->FindByName(ended.element)) address = entry->record.address;
  }
  if (call.recordChange) call.recordChange(EndText(ended.element), ended.element, address);
  return ApiReply::Json(200, WindowJson(ended));
}

}  // namespace orla
