#include "snmp_v3_json_page.h"

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "snmp_v3_change.h"
#include "snmp_v3_profile_form.h"
#include "snmp_v3_profiles_page.h"
#include "text_escape.h"

namespace orla {

std::string SnmpV3JsonPage::WithoutProfile(const SnmpV3Credentials& credentials,
                                           const std::vector<ElementView>& elements) {
  size_t count = 0;
  std::string names;
  for (const ElementView& e : elements) {
    if (credentials.ProfileFor(e.record.address) != nullptr) continue;
    names += std::string(count++ == 0 ? "" : ",") + "\"" + TextEscape::Json(e.record.name) + "\"";
  }
  return ",\"withoutProfile\":" + std::to_string(count) + ",\"withoutProfileNames\":[" + names + "]";
}

uint32_t SnmpV3JsonPage::Answer(const char* key, const std::string& text) {
  const std::shared_ptr<const SnmpV3Credentials> credentials = SnmpV3CredentialStore::Instance().Current();
  ElementRegistry* registry = AgentObjects::FindRegistry();
  Append(std::string("{\"v3Only\":") + (credentials->V3Only() ? "true" : "false"));
  Append(WithoutProfile(*credentials, registry != nullptr ? registry->Snapshot()->Read() : std::vector<ElementView>()));
  if (key != nullptr) Append(std::string(",\"") + key + "\":\"" + TextEscape::Json(text) + "\"");
  Append("}");
  return SendContent("application/json; charset=utf-8");
}

uint32_t SnmpV3JsonPage::HandleGet() {
  if (!HasSession()) return kLeaveToLibrary;
  return Answer(nullptr, "");
}

uint32_t SnmpV3JsonPage::HandlePost() {
  if (!HasSession()) return kLeaveToLibrary;
  if (!IsAdministrator()) return Answer("error", kNotAdministrator);
  const std::optional<std::string> mode = GetField("v3_only");
  if (!mode || SnmpV3ProfilesPage::CredentialFile().empty()) return Answer("error", "Unexpected data returned by web browser");
  const SnmpV3Change::Result result = SnmpV3Change::Make([&mode](SnmpV3CredentialEdit* edit) {
    return SnmpV3ProfileForm::Apply(
        [&mode](const char* name) { return std::string(name) == "v3_only" ? mode : std::nullopt; }, edit);
  });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return Answer("error", result.error);
  RecordChange(result.what);
  return Answer("notice", result.what);
}

}  // namespace orla
