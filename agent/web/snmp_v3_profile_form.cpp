#include "snmp_v3_profile_form.h"

namespace orla {

namespace {

constexpr const char* kMissing = "Required field not found in data.";
constexpr const char* kUnexpected = "Unexpected data returned by web browser";

// A field's value, empty when absent (a form's empty text field).
std::string Text(const SnmpV3ProfileForm::Field& field, const char* name) { return field(name).value_or(""); }

// A protocol choice: none when absent or empty.
std::optional<std::string> Choice(const SnmpV3ProfileForm::Field& field, const char* name) {
  std::optional<std::string> value = field(name);
  if (value && value->empty()) return std::nullopt;
  return value;
}

std::string SaveProfile(const SnmpV3ProfileForm::Field& field, SnmpV3CredentialEdit* edit) {
  const std::optional<std::string> name = field("name");
  const std::optional<std::string> level = field("level");
  if (!name || !level) return kMissing;
  SnmpV3Profile profile;
  profile.name = *name;
  profile.user = Text(field, "user");
  profile.context = Text(field, "context");
  std::string error = SnmpV3CredentialEdit::ParseProtocols(*level, Choice(field, "auth"), Choice(field, "priv"), &profile);
  if (!error.empty()) return error;
  profile.authPassPhrase = Text(field, "auth_pass");
  profile.privPassPhrase = Text(field, "priv_pass");
  const bool replace = field("replace").has_value();
  const SnmpV3Profile* stored = edit->Credentials().Find(profile.name);
  if (replace && stored != nullptr) {
    // An empty pass phrase field keeps the stored one, where one is used.
    if (profile.authPassPhrase.empty() && profile.auth != SnmpV3Auth::kNone) {
      profile.authPassPhrase = stored->authPassPhrase;
    }
    if (profile.privPassPhrase.empty() && profile.priv != SnmpV3Priv::kNone) {
      profile.privPassPhrase = stored->privPassPhrase;
    }
  }
  error = edit->PutProfile(profile, replace);
  if (!error.empty() && stored != nullptr && !replace) error += " (change it with its Edit button)";
  return error;
}

}  // namespace

std::string SnmpV3ProfileForm::Apply(const Field& field, SnmpV3CredentialEdit* edit) {
  if (field("save")) return SaveProfile(field, edit);
  if (const std::optional<std::string> name = field("remove")) return edit->RemoveProfile(*name);
  if (const std::optional<std::string> target = field("unassign")) return edit->Unassign(*target);
  if (field("assign")) {
    const std::optional<std::string> profile = field("assign_profile");
    const std::optional<std::string> target = field("assign_target");
    if (!profile || !target) return kMissing;
    return edit->Assign(*profile, *target);
  }
  if (const std::optional<std::string> mode = field("v3_only")) {
    if (*mode != "on" && *mode != "off") return kUnexpected;
    edit->SetV3Only(*mode == "on");
    return "";
  }
  return kUnexpected;
}

SnmpV3ProfileForm::Values SnmpV3ProfileForm::FromFields(const Field& field) {
  Values v;
  v.name = Text(field, "name");
  v.user = Text(field, "user");
  v.level = Text(field, "level");
  v.auth = Text(field, "auth");
  v.priv = Text(field, "priv");
  v.context = Text(field, "context");
  v.replace = field("replace").has_value();
  v.assignProfile = Text(field, "assign_profile");
  v.assignTarget = Text(field, "assign_target");
  return v;
}

SnmpV3ProfileForm::Values SnmpV3ProfileForm::FromProfile(const SnmpV3Profile& profile) {
  Values v;
  v.name = profile.name;
  v.user = profile.user;
  v.level = SnmpV3Profile::LevelText(profile.level);
  v.auth = SnmpV3Profile::AuthText(profile.auth);
  v.priv = SnmpV3Profile::PrivText(profile.priv);
  v.context = profile.context;
  v.replace = true;
  return v;
}

}  // namespace orla
