#include "discovery_resource.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/core/snmp_v3_credentials.h"
#include "agent/devices/address_ranges.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "discovery_runs.h"
#include "element_change_text.h"
#include "element_csv.h"
#include "element_import.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string Text(const std::string& text) { return "\"" + TextEscape::Json(text) + "\""; }
std::string TextOrNull(const std::string& text) { return text.empty() ? std::string("null") : Text(text); }

std::string RowJson(const DiscoveryRuns::Row& row) {
  const DeviceSweep::Found& d = row.device;
  std::string addresses;
  for (const std::string& a : d.addresses) addresses += (addresses.empty() ? "" : ",") + Text(a);
  return "{\"addresses\":[" + addresses + "],\"type\":" + TextOrNull(d.typeName) + ",\"model\":" +
         TextOrNull(d.model) + ",\"serial\":null,\"worldWideName\":" + TextOrNull(d.worldWideName) +
         ",\"firmware\":" + TextOrNull(d.firmware) + ",\"sysName\":" + TextOrNull(d.sysName) + ",\"credential\":" +
         Text(d.credential) + ",\"note\":" + TextOrNull(d.note) + ",\"managedAs\":" + TextOrNull(row.managedAs) +
         ",\"suggestedName\":" + TextOrNull(row.suggestedName) + "}";
}

std::string RunJson(const DiscoveryRuns::View& v) {
  std::string json = StringPrintf(
      "{\"id\":\"%s\",\"ranges\":%s,\"state\":\"%s\",\"total\":%zu,\"asked\":%zu,\"answered\":%zu,"
      "\"recognised\":%zu,\"requests\":%llu,\"secondsLeft\":%lld,\"seconds\":%.1f",
      TextEscape::Json(v.id).c_str(), Text(v.ranges).c_str(), DiscoveryRuns::StateName(v.state), v.total, v.asked,
      v.answered, v.recognised, static_cast<unsigned long long>(v.sent), static_cast<long long>(v.secondsLeft),
      v.seconds);
  if (v.state == DiscoveryRuns::State::kRunning) return json + ",\"rows\":null}";
  std::string rows;
  for (const DiscoveryRuns::Row& row : v.rows) rows += (rows.empty() ? "" : ",") + RowJson(row);
  return json + ",\"rows\":[" + rows + "]}";
}

std::vector<ElementView> Managed() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>();
}

std::string RowField(size_t index, const std::string& field) {
  return StringPrintf("rows[%zu].", index) + field;
}

}  // namespace

ApiReply DiscoveryResource::Start(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyFields({{"ranges", ApiCall::Type::kString}})) return *bad;
  const std::optional<std::string> ranges = call.Field("ranges");
  if (!ranges) return ApiReply::Error(400, ApiCall::kMissingField, "ranges");
  std::vector<std::string> addresses;
  std::string error;
  if (!AddressRanges::Parse(*ranges, &addresses, &error)) return ApiReply::Error(400, error, "ranges");
  std::string id;
  if (!DiscoveryRuns::Instance().Start(addresses, *ranges, &id)) {
    return ApiReply::Json(409, "{\"error\":" + Text(kRunning) + ",\"field\":null,\"id\":" + Text(id) + "}");
  }
  call.recordChange("started discovery run " + id + " over " + *ranges, std::string(), std::string());
  return ApiReply::Json(202, "{\"id\":" + Text(id) + StringPrintf(",\"state\":\"running\",\"total\":%zu}",
                                                                   addresses.size()));
}

ApiReply DiscoveryResource::Get(const ApiCall& call) {
  const std::optional<DiscoveryRuns::View> run = DiscoveryRuns::Instance().Find(call.name);
  if (!run) return ApiReply::Error(404, kNoSuchRun);
  return ApiReply::Json(200, RunJson(*run));
}

ApiReply DiscoveryResource::Cancel(const ApiCall& call) {
  if (!DiscoveryRuns::Instance().Cancel(call.name)) return ApiReply::Error(404, kNoSuchRun);
  const std::optional<DiscoveryRuns::View> run = DiscoveryRuns::Instance().Find(call.name);
  if (!run) return ApiReply::Error(404, kNoSuchRun);
  return ApiReply::Json(200, RunJson(*run));
}

ApiReply DiscoveryResource::Adopt(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyFields(
          {{"rows", ApiCall::Type::kObjects}, {"registerTrapTarget", ApiCall::Type::kBoolean}})) {
    return *bad;
  }
  const std::optional<DiscoveryRuns::View> run = DiscoveryRuns::Instance().Find(call.name);
  if (!run) return ApiReply::Error(404, kNoSuchRun);
  if (run->state == DiscoveryRuns::State::kRunning) return ApiReply::Error(409, kStillRunning);
  const std::optional<std::vector<const JsonValue*>> items = call.Objects("rows");
  if (!items) return ApiReply::Error(400, ApiCall::kMissingField, "rows");
  if (items->empty()) return ApiReply::Error(400, kNoRows, "rows");

  std::vector<ElementCsv::Row> rows;
  for (size_t i = 0; i < items->size(); ++i) {
    ElementCsv::Row row;
    row.line = i + 1;
    for (const JsonValue::Member& member : (*items)[i]->Members()) {
      if (member.first != "address" && member.first != "name") {
        return ApiReply::Error(400, ApiCall::kUnknownField, RowField(i, member.first));
      }
      if (!member.second.IsString()) return ApiReply::Error(400, ApiCall::kNotAString, RowField(i, member.first));
      (member.first == "address" ? row.address : row.name) = member.second.StringValue();
    }
    if ((*items)[i]->Find("address") == nullptr) return ApiReply::Error(400, ApiCall::kMissingField, RowField(i, "address"));
    if ((*items)[i]->Find("name") == nullptr) return ApiReply::Error(400, ApiCall::kMissingField, RowField(i, "name"));
    bool found = false;
    for (const DiscoveryRuns::Row& r : run->rows) {
      for (const std::string& a : r.device.addresses) found = found || a == row.address;
    }
    if (!found) return ApiReply::Error(400, kNotFound, RowField(i, "address"));
    rows.push_back(std::move(row));
  }

  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  const std::vector<ElementImport::Line> lines = ElementImport::Judge(rows, Managed(), *credentials);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].verdict == ElementImport::Verdict::kRefuse) {
      return ApiReply::Error(400, lines[i].text, RowField(i, lines[i].field));
    }
    // Adopting what is managed already is a mistake of the caller's.
    if (lines[i].verdict == ElementImport::Verdict::kSkip) {
      return ApiReply::Error(409, lines[i].text, RowField(i, "address"));
    }
  }
  const std::string failed =
      ElementImport::Apply(lines, AgentObjects::Registry(), SnmpV3CredentialStore::Instance().Path());
  if (!failed.empty()) return ApiReply::Error(409, failed);
  call.recordChange(ElementChangeText::Adopted(lines.size(), call.name), std::string(), std::string());

  const bool registerTrapTarget = call.Boolean("registerTrapTarget").value_or(false);
  std::vector<std::string> names;
  std::string namesJson;
  for (const ElementCsv::Row& row : rows) {
    names.push_back(row.name);
    namesJson += (namesJson.empty() ? "" : ",") + Text(row.name);
  }
  if (registerTrapTarget) DiscoveryRuns::Instance().RegisterTrapTargets(names);
  return ApiReply::Json(200, StringPrintf("{\"adopted\":%zu,\"names\":[", names.size()) + namesJson +
                                 "],\"registerTrapTarget\":" + (registerTrapTarget ? "true" : "false") + "}");
}

}  // namespace orla
