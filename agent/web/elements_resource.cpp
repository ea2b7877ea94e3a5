#include "elements_resource.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "add_element_check.h"
#include "agent_objects.h"
#include "element_change_text.h"
#include "platform/text/string_printf.h"
#include "agent/devices/device_counter_kind.h"
#include "agent/devices/plugin/device_plugin.h"
#include "remove_element_page.h"
#include "rename_element_check.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string ElementJson(const ElementView& e) {
  std::string json = "{\"name\":\"" + TextEscape::Json(e.record.name) + "\",\"address\":\"" +
                     TextEscape::Json(e.record.address) + "\"";
  json += StringPrintf(",\"status\":%d,\"bound\":%s,\"reason\":\"", e.status.status,
                       e.record.Bound() ? "true" : "false");
  // An unbound element has no status of its own: why it is unbound is its
  // reason ("Being recognised", "Not responding", ...).
  json += TextEscape::Json(e.record.Bound() ? e.status.reason : e.record.unboundReason);
  json += StringPrintf("\",\"statusSince\":%lld,\"lastAnswered\":", static_cast<long long>(e.status.statusSinceMs));
  json += e.status.lastAnsweredMs > 0 ? std::to_string(e.status.lastAnsweredMs) : std::string("null");
  json += e.status.stale ? ",\"stale\":true}" : ",\"stale\":false}";
  return json;
}

// The element's latest counters and wear facts (DeviceSamples), for the
// answer about one element: "counters":{"takenAt":ms,"samples":[{"part":
// "port","index":1,"kind":"crc_errors","value":12,"perSecond":0.5,
// "lastHour":30},...]}; null when its plug-in gave none. A counter the
// device does not support has a null value.
std::string CountersJson(const ElementView& e) {
  if (e.status.samples == nullptr) return "null";
  std::string json = StringPrintf("{\"takenAt\":%lld,\"samples\":[", static_cast<long long>(e.status.samples->takenMs));
  const auto number = [](const std::optional<double>& value) {
    return value ? StringPrintf("%.6g", *value) : std::string("null");
  };
  bool first = true;
  for (const DeviceSamples::Sample& s : e.status.samples->samples) {
    const DeviceCounterKind::Info* info = DeviceCounterKind::Find(s.kind);
    const char* part = s.part == plugin::kPartPort    ? "port"
                       : s.part == plugin::kPartDrive ? "drive"
                                                      : "device";
    if (info == nullptr) continue;
    json += first ? "" : ",";
    first = false;
    json += StringPrintf("{\"part\":\"%s\",\"index\":%d,\"kind\":\"%s\",\"value\":", part, s.index, info->name);
    json += s.value ? std::to_string(*s.value) : std::string("null");
    json += ",\"perSecond\":" + number(s.perSecond) + ",\"lastHour\":" + number(s.lastHour) + "}";
  }
  return json + "]}";
}

std::vector<ElementView> Elements() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
}

std::optional<ElementView> Named(const std::string& name) {
  for (ElementView& e : Elements()) {
    if (e.record.name == name) return std::move(e);
  }
  return std::nullopt;
}

// A refusal that is the agent's own trouble, not the caller's.
bool AgentFault(int32_t code) { return code == kErrFileSystem || code == kErrMemory; }

const char* FieldName(AddElementCheck::Field field) {
  return field == AddElementCheck::Field::kName ? "name" : "address";
}

}  // namespace

ApiReply ElementsResource::List(const ApiCall&) {
  std::string rows;
  for (const ElementView& e : Elements()) {
    if (!rows.empty()) rows += ',';
    rows += ElementJson(e);
  }
  return ApiReply::Json(200, "{\"elements\":[" + rows + "]}");
}

ApiReply ElementsResource::Get(const ApiCall& call) {
  const std::optional<ElementView> found = Named(call.name);
  if (!found) return ApiReply::Error(404, RemoveElementPage::kNoSuchElement);
  std::string json = ElementJson(*found);
  json.insert(json.size() - 1, ",\"counters\":" + CountersJson(*found));
  return ApiReply::Json(200, json);
}

ApiReply ElementsResource::Add(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"name", "address", "whenDown"})) return *bad;
  const std::optional<std::string> name = call.Field("name");
  std::optional<std::string> address = call.Field("address");
  const std::string whenDown = call.Field("whenDown").value_or(kWhenDownRefuse);
  if (!name) return ApiReply::Error(400, kMissingField, "name");
  if (!address) return ApiReply::Error(400, kMissingField, "address");
  if (whenDown != kWhenDownRefuse && whenDown != kWhenDownKeep) return ApiReply::Error(400, kBadWhenDown, "whenDown");
  if (std::optional<AddElementCheck::Failure> refused = AddElementCheck::Check(name, &address)) {
    return ApiReply::Error(400, refused->text, FieldName(refused->field));
  }
  std::string notice;
  const bool keep = whenDown == kWhenDownKeep;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
        if (keep) {
          AgentObjects::Registry().AddElements({{*name, *address}});
        } else {
          AgentObjects::Registry().AddElement(*name, *address);
        }
      })) {
    // Kept all the same: the device lacks the community, or sends its
    // traps elsewhere.
    if (failed->Code() == kErrNoCommunity || failed->Code() == kErrTrapsNotConfigured) {
      notice = failed->Message();
    } else if (AgentFault(failed->Code())) {
      return ApiReply::Error(500, failed->Message());
    } else {
      const AddElementCheck::Failure refusal = AddElementCheck::RefusalText(*failed);
      const bool inUse = failed->Code() == kErrNameInUse || failed->Code() == kErrAlreadyManaged;
      return ApiReply::Error(inUse ? 409 : 422, refusal.text, FieldName(refusal.field));
    }
  }
  call.recordChange(ElementChangeText::Added(*name, *address), *name, *address);
  const std::optional<ElementView> added = Named(*name);
  // Removed again at once by another request: the add still happened.
  std::string body = added ? ElementJson(*added)
                           : "{\"name\":\"" + TextEscape::Json(*name) + "\",\"address\":\"" +
                                 TextEscape::Json(*address) + "\"}";
  if (!notice.empty()) body.insert(body.size() - 1, ",\"notice\":\"" + TextEscape::Json(notice) + "\"");
  return ApiReply::Json(201, body);
}

ApiReply ElementsResource::Rename(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"name"})) return *bad;
  const std::optional<std::string> wanted = call.Field("name");
  if (!wanted) return ApiReply::Error(400, kMissingField, "name");
  if (std::optional<std::string> refused = RenameElementCheck::Check(call.name, *wanted)) {
    return ApiReply::Error(400, *refused, "name");
  }
  if (std::unique_ptr<OrlaException> failed =
          OrlaException::Catch([&] { AgentObjects::Registry().RenameElement(call.name, *wanted); })) {
    const std::string text = RenameElementCheck::RefusalText(*failed);
    if (failed->Code() == kErrNameInUse) return ApiReply::Error(409, text, "name");
    if (failed->Code() == kErrNoSuchObject) return ApiReply::Error(404, text);
    return ApiReply::Error(500, text);
  }
  call.recordChange(ElementChangeText::Renamed(call.name, *wanted), *wanted, std::string());
  const std::optional<ElementView> renamed = Named(*wanted);
  if (!renamed) return ApiReply::Json(200, "{\"name\":\"" + TextEscape::Json(*wanted) + "\"}");
  return ApiReply::Json(200, ElementJson(*renamed));
}

ApiReply ElementsResource::Remove(const ApiCall& call) {
  if (std::unique_ptr<OrlaException> failed =
          OrlaException::Catch([&] { AgentObjects::Registry().RemoveElement(call.name); })) {
    if (failed->Code() == kErrNoSuchObject) return ApiReply::Error(404, RemoveElementPage::kNoSuchElement);
    return ApiReply::Error(500, failed->Message());
  }
  call.recordChange(ElementChangeText::Removed(call.name), call.name, std::string());
  return ApiReply::Json(200, "{\"removed\":\"" + TextEscape::Json(call.name) + "\"}");
}

}  // namespace orla
