#include "targets_resource.h"

#include <optional>
#include <string>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/local_engine.h"
#include "agent/traps/notification_target_list.h"
#include "notification_target_change.h"
#include "platform/snmpmgr/snmp_local_engine.h"
#include "platform/text/string_printf.h"
#include "text_escape.h"

namespace orla {

namespace {

// A target without its community.
std::string TargetJson(const NotificationTargetList::Target& t) {
  std::string json = "{\"name\":\"" + TextEscape::Json(NotificationTargetList::Name(t)) + "\",\"host\":\"" +
                     TextEscape::Json(t.host) + "\"";
  json += StringPrintf(",\"port\":%d,\"kind\":\"%s\",\"profile\":", t.port, NotificationTargetList::KindName(t.kind));
  json += NotificationTargetList::IsV3(t.kind) ? "\"" + TextEscape::Json(t.credential) + "\"" : std::string("null");
  return json + "}";
}

ApiReply Refusal(const NotificationTargetChange::Result& result) {
  switch (result.outcome) {
    case NotificationTargetChange::Outcome::kRefused: return ApiReply::Error(400, result.text, result.field);
    case NotificationTargetChange::Outcome::kNotFound: return ApiReply::Error(404, result.text);
    default: return ApiReply::Error(500, result.text);
  }
}

}  // namespace

ApiReply TargetsResource::List(const ApiCall&) {
  NotificationTargetList list;
  std::string error;
  if (!NotificationTargetChange::Load(&list, &error)) return ApiReply::Error(500, error);
  LocalEngine engine;
  engine.id = SnmpMgrLocalEngineId();
  engine.boots = SnmpMgrLocalEngineBoots();
  const bool v3Only = SnmpV3CredentialStore::Instance().Current()->V3Only();
  std::string rows;
  for (const NotificationTargetList::Target& t : list.Targets()) rows += (rows.empty() ? "" : ",") + TargetJson(t);
  return ApiReply::Json(200, "{\"engineId\":\"" + TextEscape::Json(engine.HexId()) +
                                 StringPrintf("\",\"engineBoots\":%u,\"v3Only\":%s,\"targets\":[", engine.boots,
                                              v3Only ? "true" : "false") +
                                 rows + "]}");
}

ApiReply TargetsResource::Add(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"target", "kind", "credential"})) return *bad;
  for (const char* field : {"target", "kind", "credential"}) {
    if (!call.Field(field)) return ApiReply::Error(400, ApiCall::kMissingField, field);
  }
  const NotificationTargetChange::Result result =
      NotificationTargetChange::Set(*call.Field("target"), *call.Field("kind"), *call.Field("credential"));
  if (result.outcome != NotificationTargetChange::Outcome::kDone) return Refusal(result);
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(result.replaced ? 200 : 201, TargetJson(result.target));
}

ApiReply TargetsResource::Remove(const ApiCall& call) {
  const NotificationTargetChange::Result result = NotificationTargetChange::Remove(call.name);
  if (result.outcome != NotificationTargetChange::Outcome::kDone) return Refusal(result);
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(200, "{\"removed\":\"" + TextEscape::Json(call.name) + "\"}");
}

}  // namespace orla
