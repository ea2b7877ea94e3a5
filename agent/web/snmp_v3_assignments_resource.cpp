#include "snmp_v3_assignments_resource.h"

#include <optional>
#include <string>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/core/snmp_v3_credentials.h"
#include "snmp_v3_change.h"
#include "snmp_v3_profiles_page.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string AssignmentJson(const std::string& target, const std::string& profile) {
  return "{\"target\":\"" + TextEscape::Json(target) + "\",\"profile\":\"" + TextEscape::Json(profile) + "\"}";
}

// The target's text as the file writes it ("10.1.0.0/16"), or none when
// `text` is no target.
std::optional<std::string> TargetText(const std::string& text) {
  SnmpV3Credentials::Assignment parsed;
  if (!SnmpV3Credentials::ParseTarget(text, &parsed).empty()) return std::nullopt;
  return parsed.TargetText();
}

ApiReply NotChanged(const SnmpV3Change::Result& result, int status, const char* field) {
  if (result.outcome != SnmpV3Change::Outcome::kRefused) return ApiReply::Error(500, result.error);
  return ApiReply::Error(status, result.error, field);
}

}  // namespace

ApiReply SnmpV3AssignmentsResource::List(const ApiCall&) {
  SnmpV3Credentials credentials;
  std::string error;
  if (!SnmpV3CredentialFile::Load(SnmpV3ProfilesPage::CredentialFile(), &credentials, &error)) {
    return ApiReply::Error(500, error);
  }
  std::string rows;
  for (const SnmpV3Credentials::Assignment& a : credentials.Assignments()) {
    rows += (rows.empty() ? "" : ",") + AssignmentJson(a.TargetText(), a.profile);
  }
  return ApiReply::Json(200, "{\"assignments\":[" + rows + "]}");
}

ApiReply SnmpV3AssignmentsResource::Assign(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields({"profile"})) return *bad;
  const std::optional<std::string> profile = call.Field("profile");
  if (!profile) return ApiReply::Error(400, ApiCall::kMissingField, "profile");
  const char* field = "target";
  const SnmpV3Change::Result result = SnmpV3Change::Make([&](SnmpV3CredentialEdit* edit) {
    if (edit->Credentials().Find(*profile) == nullptr) field = "profile";
    return edit->Assign(*profile, call.name);
  });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return NotChanged(result, 400, field);
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(200, AssignmentJson(TargetText(call.name).value_or(call.name), *profile));
}

ApiReply SnmpV3AssignmentsResource::Unassign(const ApiCall& call) {
  const int status = TargetText(call.name) ? 404 : 400;
  const SnmpV3Change::Result result =
      SnmpV3Change::Make([&](SnmpV3CredentialEdit* edit) { return edit->Unassign(call.name); });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return NotChanged(result, status, status == 400 ? "target" : "");
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(200, "{\"removed\":\"" + TextEscape::Json(call.name) + "\"}");
}

}  // namespace orla
