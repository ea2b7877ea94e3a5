#include "snmp_v3_profiles_page.h"

#include <optional>

#include "agent/core/snmp_v3_credential_file.h"
#include "agent/core/snmp_v3_credential_store.h"
#include "snmp_v3_change.h"
#include "text_escape.h"

namespace orla {

namespace {

constexpr const char* kPageLocation = "snmpv3_profiles.html";
constexpr const char* kApplied = ". The running agent applies it at its next SNMP request.";

// One table row of a label and its field.
std::string FieldRow(const char* id, const char* label, const std::string& field) {
  return std::string("<TR class=dark><TD class=dark><LABEL for=") + id + ">" + label +
         "</LABEL></TD><TD class=dark>" + field + "</TD></TR>";
}

// A <SELECT> of `texts` (the first `count`), `selected` chosen; with
// `none`, an empty first choice of that label.
std::string Select(const char* name, const char* const* texts, size_t count, const std::string& selected,
                   const char* none) {
  std::string html = std::string("<SELECT name=") + name + " id=" + name + ">";
  if (none != nullptr) html += std::string("<OPTION value=\"\">") + none;
  for (size_t i = 0; i < count; ++i) {
    html += std::string("<OPTION value=\"") + texts[i] + "\"" + (selected == texts[i] ? " selected" : "") + ">" +
            texts[i];
  }
  return html + "</SELECT>";
}

std::string TextInput(const char* name, const std::string& value, const char* more = "") {
  return std::string("<INPUT type=text name=") + name + " id=" + name + " value=\"" + TextEscape::Html(value) +
         "\"" + more + ">";
}

}  // namespace

const std::string& SnmpV3ProfilesPage::CredentialFile() { return SnmpV3CredentialStore::Instance().Path(); }

uint32_t SnmpV3ProfilesPage::HandleGet() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  SnmpV3Credentials credentials;
  std::string error;
  if (!SnmpV3CredentialFile::Load(CredentialFile(), &credentials, &error)) {
    return ShowError(error, kPageLocation, false);
  }
  SnmpV3ProfileForm::Values form;
  if (const std::optional<std::string> name = GetField("edit")) {
    const SnmpV3Profile* profile = credentials.Find(*name);
    if (profile == nullptr) return ShowError("no profile " + *name, kPageLocation, false);
    form = SnmpV3ProfileForm::FromProfile(*profile);
  }
  return ShowProfiles(credentials, form, "", "");
}

uint32_t SnmpV3ProfilesPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  const SnmpV3ProfileForm::Field field = [this](const char* name) { return GetField(name); };
  const SnmpV3Change::Result result =
      SnmpV3Change::Make([&field](SnmpV3CredentialEdit* edit) { return SnmpV3ProfileForm::Apply(field, edit); });
  if (result.outcome == SnmpV3Change::Outcome::kNotOpened) return ShowError(result.error, kPageLocation, false);
  if (result.outcome != SnmpV3Change::Outcome::kDone) {
    return ShowProfiles(result.before, SnmpV3ProfileForm::FromFields(field), "", result.error);
  }
  RecordChange(result.what);
  return ShowProfiles(result.after, SnmpV3ProfileForm::Values(), result.what + kApplied, "");
}

uint32_t SnmpV3ProfilesPage::ShowProfiles(const SnmpV3Credentials& credentials, const SnmpV3ProfileForm::Values& form,
                                          const std::string& notice, const std::string& error) {
  AppendDialogHead("SNMPv3 Profiles");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=90%>");
  Append("<TR class=dark><TD class=dark>The agent polls a device over SNMPv3 with the profile assigned to its "
         "address; a device no assignment covers is polled with its community. The most specific assignment "
         "wins: one address, then the longest ADDRESS/BITS range, then the default.</TD></TR>");
  if (!notice.empty()) {
    AppendFormat("<TR class=dark><TD class=dark><P class=\"dialog-notice done\" id=notice role=status>%s</P></TD></TR>",
                 TextEscape::Html(notice).c_str());
  }
  if (!error.empty()) {
    AppendFormat("<TR class=dark><TD class=dark><P class=\"dialog-notice problem\" id=error role=alert>"
                 "<B>Not changed:</B> %s</P></TD></TR>",
                 TextEscape::Html(error).c_str());
  }
  // The v3-only switch.
  const bool on = credentials.V3Only();
  AppendFormat("<TR class=dark><TD class=dark><FORM method=post action=\"%s\" id=v3_only_form>"
               "<SPAN id=v3_only_state>v3-only mode is <B>%s</B>%s</SPAN> "
               "<INPUT type=hidden name=v3_only value=\"%s\"><INPUT type=submit value=\"%s\"></FORM></TD></TR>",
               kPageLocation, on ? "on" : "off",
               on ? ": no community is used; an address without a profile is not polled, no SNMPv1 or SNMPv2c "
                    "trap is accepted and no SNMPv1 trap is sent."
                  : ".",
               on ? "off" : "on", on ? "Turn v3-only off" : "Turn v3-only on");

  // The profiles, without their pass phrases.
  Append("<TR class=dark><TD class=dark><H2 class=section-title>Profiles</H2><TABLE class=dark id=profiles>");
  Append("<TR class=dark><TH>Profile</TH><TH>Security</TH><TH>Assigned to</TH><TH></TH></TR>");
  if (credentials.Profiles().empty()) Append("<TR class=dark><TD class=dark colspan=4>No profiles.</TD></TR>");
  for (const SnmpV3Profile& p : credentials.Profiles()) {
    std::string targets;
    for (const SnmpV3Credentials::Assignment& a : credentials.Assignments()) {
      if (a.profile == p.name) targets += (targets.empty() ? "" : ", ") + a.TargetText();
    }
    const std::string name = TextEscape::Html(p.name);
    AppendFormat("<TR class=dark><TD class=dark>%s</TD><TD class=dark>%s</TD><TD class=dark>%s</TD>"
                 "<TD class=dark><A href=\"%s?edit=%s\">Edit</A> <FORM method=post action=\"%s\" "
                 "style=\"display:inline\"><INPUT type=hidden name=remove value=\"%s\">"
                 "<INPUT type=submit value=\"Remove\" aria-label=\"Remove %s\"></FORM></TD></TR>",
                 name.c_str(), TextEscape::Html(SnmpV3CredentialEdit::Describe(p)).c_str(),
                 targets.empty() ? "nothing" : TextEscape::Html(targets).c_str(), kPageLocation, name.c_str(),
                 kPageLocation, name.c_str(), name.c_str());
  }
  Append("</TABLE></TD></TR>");

  // The assignments.
  Append("<TR class=dark><TD class=dark><H2 class=section-title>Assignments</H2><TABLE class=dark id=assignments>");
  Append("<TR class=dark><TH>Address or range</TH><TH>Profile</TH><TH></TH></TR>");
  if (credentials.Assignments().empty()) {
    Append("<TR class=dark><TD class=dark colspan=3>Nothing is assigned: every device is polled with its "
           "community.</TD></TR>");
  }
  for (const SnmpV3Credentials::Assignment& a : credentials.Assignments()) {
    const std::string target = TextEscape::Html(a.TargetText());
    AppendFormat("<TR class=dark><TD class=dark>%s</TD><TD class=dark>%s</TD><TD class=dark><FORM method=post "
                 "action=\"%s\" style=\"display:inline\"><INPUT type=hidden name=unassign value=\"%s\">"
                 "<INPUT type=submit value=\"Unassign\" aria-label=\"Unassign %s\"></FORM></TD></TR>",
                 target.c_str(), TextEscape::Html(a.profile).c_str(), kPageLocation, target.c_str(), target.c_str());
  }
  Append("</TABLE>");
  if (!credentials.Profiles().empty()) AppendAssignForm(credentials, form);
  Append("</TD></TR>");

  AppendProfileForm(form);
  Append("<TR class=dark><TD class=dark><CENTER><A href=\"notification_targets.html\">Notification targets</A>"
         "&nbsp; <INPUT type=button value=\"Close\" onclick=\"window.close()\"></CENTER></TD></TR>");
  Append("</TABLE></CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

void SnmpV3ProfilesPage::AppendAssignForm(const SnmpV3Credentials& credentials,
                                          const SnmpV3ProfileForm::Values& form) {
  AppendFormat("<FORM method=post action=\"%s\" id=assign_form><TABLE class=dark>", kPageLocation);
  std::string profiles = "<SELECT name=assign_profile id=assign_profile>";
  for (const SnmpV3Profile& p : credentials.Profiles()) {
    const std::string name = TextEscape::Html(p.name);
    profiles += "<OPTION value=\"" + name + "\"" + (form.assignProfile == p.name ? " selected" : "") + ">" + name;
  }
  profiles += "</SELECT>";
  Append(FieldRow("assign_profile", "Profile", profiles));
  Append(FieldRow("assign_target", "Assign to (default, ADDRESS or ADDRESS/BITS)",
                  TextInput("assign_target", form.assignTarget, " placeholder=\"10.1.0.0/16\"")));
  Append("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=assign value=\"Assign\">"
         "</TD></TR></TABLE></FORM>");
}

void SnmpV3ProfilesPage::AppendProfileForm(const SnmpV3ProfileForm::Values& form) {
  static constexpr const char* kLevels[] = {"noAuthNoPriv", "authNoPriv", "authPriv"};
  static constexpr const char* kAuths[] = {"MD5", "SHA", "SHA-224", "SHA-256", "SHA-384", "SHA-512"};
  static constexpr const char* kPrivs[] = {"DES", "AES", "AES-192", "AES-256", "AES-192-C", "AES-256-C"};
  const std::string heading = form.replace ? "Edit profile " + TextEscape::Html(form.name) : "Add a profile";
  AppendFormat("<TR class=dark><TD class=dark><H2 class=section-title>%s</H2><FORM method=post action=\"%s\" "
               "id=profile_form autocomplete=off><TABLE class=dark>",
               heading.c_str(), kPageLocation);
  if (form.replace) {
    AppendFormat("<INPUT type=hidden name=replace value=yes><INPUT type=hidden name=name value=\"%s\">",
                 TextEscape::Html(form.name).c_str());
  } else {
    Append(FieldRow("name", "Profile name", TextInput("name", form.name)));
  }
  Append(FieldRow("user", "User name", TextInput("user", form.user)));
  Append(FieldRow("level", "Security level", Select("level", kLevels, 3, form.level, nullptr)));
  Append(FieldRow("auth", "Authentication protocol", Select("auth", kAuths, 6, form.auth, "none")));
  // Pass phrases: never a value; an edit keeps the stored one when left empty.
  const char* keep = form.replace ? " placeholder=\"leave empty to keep\"" : "";
  const std::string authPass =
      std::string("<INPUT type=password name=auth_pass id=auth_pass autocomplete=new-password") + keep + ">";
  const std::string privPass =
      std::string("<INPUT type=password name=priv_pass id=priv_pass autocomplete=new-password") + keep + ">";
  Append(FieldRow("auth_pass", "Authentication pass phrase", authPass));
  Append(FieldRow("priv", "Privacy protocol", Select("priv", kPrivs, 6, form.priv, "none")));
  Append(FieldRow("priv_pass", "Privacy pass phrase", privPass));
  Append(FieldRow("context", "Context name (optional)", TextInput("context", form.context)));
  AppendFormat("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=save value=\"%s\">%s"
               "</TD></TR></TABLE></FORM></TD></TR>",
               form.replace ? "Save Profile" : "Add Profile",
               form.replace ? std::string(" <A href=\"").append(kPageLocation).append("\">Cancel</A>").c_str() : "");
}

}  // namespace orla
