#include "snmp_v3_resource.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "snmp_v3_change.h"
#include "snmp_v3_json_page.h"

namespace orla {

namespace {

std::string StateJson(const SnmpV3Credentials& credentials) {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return std::string("{\"v3Only\":") + (credentials.V3Only() ? "true" : "false") +
         SnmpV3JsonPage::WithoutProfile(credentials,
                                        registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>()) +
         "}";
}

}  // namespace

ApiReply SnmpV3Resource::Get(const ApiCall&) {
  return ApiReply::Json(200, StateJson(*SnmpV3CredentialStore::Instance().Current()));
}

ApiReply SnmpV3Resource::Change(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyFields({{"v3Only", ApiCall::Type::kBoolean}})) return *bad;
  const std::optional<bool> on = call.Boolean("v3Only");
  if (!on) return ApiReply::Error(400, ApiCall::kMissingField, "v3Only");
  const SnmpV3Change::Result result = SnmpV3Change::Make([&on](SnmpV3CredentialEdit* edit) {
    edit->SetV3Only(*on);
    return std::string();
  });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return ApiReply::Error(500, result.error);
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(200, StateJson(result.after));
}

}  // namespace orla
