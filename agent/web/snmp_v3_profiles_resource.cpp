#include "snmp_v3_profiles_resource.h"

#include <cstring>
#include <optional>
#include <string>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/core/snmp_v3_credentials.h"
#include "snmp_v3_change.h"
#include "snmp_v3_profiles_page.h"
#include "text_escape.h"

namespace orla {

namespace {

std::string Quoted(const std::string& text) { return "\"" + TextEscape::Json(text) + "\""; }

std::string ProfileJson(const SnmpV3Profile& p, const SnmpV3Credentials& credentials) {
  std::string targets;
  for (const SnmpV3Credentials::Assignment& a : credentials.Assignments()) {
    if (a.profile == p.name) targets += (targets.empty() ? "" : ",") + Quoted(a.TargetText());
  }
  return "{\"name\":" + Quoted(p.name) + ",\"user\":" + Quoted(p.user) + ",\"level\":" +
         Quoted(SnmpV3Profile::LevelText(p.level)) +
         ",\"auth\":" + (p.auth == SnmpV3Auth::kNone ? "null" : Quoted(SnmpV3Profile::AuthText(p.auth))) +
         ",\"priv\":" + (p.priv == SnmpV3Priv::kNone ? "null" : Quoted(SnmpV3Profile::PrivText(p.priv))) +
         ",\"context\":" + Quoted(p.context) + ",\"assignedTo\":[" + targets + "]}";
}

// The request field a refusal of korsnmpv3's checks is about (its texts
// name the field, never a value); empty when none fits.
const char* FieldOf(const std::string& refusal) {
  static constexpr struct {
    const char* words;
    const char* field;
  } kFields[] = {
      {"authentication pass phrase", "authPassPhrase"},
      {"privacy pass phrase", "privPassPhrase"},
      {"--auth", "auth"},
      {"authentication protocol", "auth"},
      {"--priv", "priv"},
      {"privacy protocol", "priv"},
      {"--level", "level"},
      {"user name", "user"},
      {"context name", "context"},
      {"profile", "name"},
  };
  for (const auto& row : kFields) {
    if (refusal.find(row.words) != std::string::npos) return row.field;
  }
  return "";
}

ApiReply NotChanged(const SnmpV3Change::Result& result, int status, const char* field) {
  if (result.outcome != SnmpV3Change::Outcome::kRefused) return ApiReply::Error(500, result.error);
  return ApiReply::Error(status, result.error, field);
}

}  // namespace

ApiReply SnmpV3ProfilesResource::List(const ApiCall&) {
  SnmpV3Credentials credentials;
  std::string error;
  if (!SnmpV3CredentialFile::Load(SnmpV3ProfilesPage::CredentialFile(), &credentials, &error)) {
    return ApiReply::Error(500, error);
  }
  std::string rows;
  for (const SnmpV3Profile& p : credentials.Profiles()) {
    rows += (rows.empty() ? "" : ",") + ProfileJson(p, credentials);
  }
  return ApiReply::Json(200, "{\"profiles\":[" + rows + "]}");
}

ApiReply SnmpV3ProfilesResource::Add(const ApiCall& call) {
  if (std::optional<ApiReply> bad = call.OnlyStringFields(
          {"name", "user", "level", "auth", "authPassPhrase", "priv", "privPassPhrase", "context"})) {
    return *bad;
  }
  for (const char* field : {"name", "level"}) {
    if (!call.Field(field)) return ApiReply::Error(400, ApiCall::kMissingField, field);
  }
  // A protocol: none when absent or empty, as the page's choice "none".
  const auto choice = [&call](const char* field) {
    std::optional<std::string> value = call.Field(field);
    return value && value->empty() ? std::nullopt : value;
  };
  SnmpV3Profile profile;
  profile.name = *call.Field("name");
  profile.user = call.Field("user").value_or("");
  profile.context = call.Field("context").value_or("");
  profile.authPassPhrase = call.Field("authPassPhrase").value_or("");
  profile.privPassPhrase = call.Field("privPassPhrase").value_or("");
  int status = 400;
  const SnmpV3Change::Result result = SnmpV3Change::Make([&](SnmpV3CredentialEdit* edit) {
    std::string error =
        SnmpV3CredentialEdit::ParseProtocols(*call.Field("level"), choice("auth"), choice("priv"), &profile);
    if (!error.empty()) return error;
    if (edit->Credentials().Find(profile.name) != nullptr) status = 409;
    return edit->PutProfile(profile, false);
  });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return NotChanged(result, status, status == 409 ? "name" : FieldOf(result.error));
  call.recordChange(result.what, std::string(), std::string());
  const SnmpV3Profile* added = result.after.Find(profile.name);
  return ApiReply::Json(201, ProfileJson(added != nullptr ? *added : profile, result.after));
}

ApiReply SnmpV3ProfilesResource::Remove(const ApiCall& call) {
  int status = 409;  // an assignment names it
  const SnmpV3Change::Result result = SnmpV3Change::Make([&](SnmpV3CredentialEdit* edit) {
    if (edit->Credentials().Find(call.name) == nullptr) status = 404;
    return edit->RemoveProfile(call.name);
  });
  if (result.outcome != SnmpV3Change::Outcome::kDone) return NotChanged(result, status, "");
  call.recordChange(result.what, std::string(), std::string());
  return ApiReply::Json(200, "{\"removed\":" + Quoted(call.name) + "}");
}

}  // namespace orla
