#include "users_page.h"

#include <optional>
#include <vector>

#include "agent_objects.h"
#include "library_users.h"
#include "platform/zepa/user_tokens.h"
#include "text_escape.h"
#include "tokens_resource.h"

namespace orla {

namespace {

constexpr const char* kLevels[] = {"administrator", "operator", "reader", "none"};

std::string LevelSelect(const char* name, const std::string& id, const std::string& selected,
                        const std::string& label) {
  std::string html = "<SELECT name=" + std::string(name) + " id=" + id;
  if (!label.empty()) html += " aria-label=\"" + TextEscape::Html(label) + "\"";
  html += ">";
  for (const char* level : kLevels) {
    html += std::string("<OPTION value=\"") + level + "\"" + (selected == level ? " selected" : "") + ">" + level;
  }
  return html + "</SELECT>";
}

std::string FieldRow(const char* id, const char* label, const std::string& field) {
  return std::string("<TR class=dark><TD class=dark><LABEL for=") + id + ">" + label +
         "</LABEL></TD><TD class=dark>" + field + "</TD></TR>";
}

}  // namespace

uint32_t UsersPage::HandleGet() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  return ShowUsers("");
}

uint32_t UsersPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  const LibraryUsers users(Request());
  LibraryUsers::Result result;
  std::string what;
  if (GetField("add")) {
    const std::optional<std::string> name = GetField("name");
    const std::optional<std::string> password = GetField("password");
    const std::optional<std::string> level = GetField("level");
    if (!name || !password || !level) return ShowError("Required field not found in data.", kLocation, false);
    result = users.Add(*name, *password, *level);
    what = result.What() + " (" + *level + ")";
  } else if (GetField("set_level")) {
    const std::optional<std::string> name = GetField("user");
    const std::optional<std::string> level = GetField("level");
    if (!name || !level) return ShowError("Required field not found in data.", kLocation, false);
    result = users.SetLevel(*name, *level);
  } else if (GetField("reset")) {
    const std::optional<std::string> name = GetField("user");
    const std::optional<std::string> password = GetField("password");
    if (!name || !password) return ShowError("Required field not found in data.", kLocation, false);
    result = users.SetPassword(*name, *password);
  } else if (const std::optional<std::string> name = GetField("end_sessions")) {
    result = users.EndSessions(*name);
  } else if (const std::optional<std::string> name = GetField("remove")) {
    result = users.Remove(*name);
  } else if (GetField("add_token")) {
    return AddToken();
  } else if (const std::optional<std::string> id = GetField("revoke_token")) {
    return RevokeToken(*id);
  } else {
    return ShowError("Unexpected data returned by web browser", kLocation, false);
  }
  if (!result.Ok()) return ShowError(result.text, kLocation, false);
  RecordChange(what.empty() ? result.What() : what);
  return ShowUsers(result.text);
}

uint32_t UsersPage::AddToken() {
  const std::optional<std::string> user = GetField("user");
  const std::optional<std::string> name = GetField("token_name");
  const std::optional<std::string> days = GetField("expires_days");
  if (!user || !name) return ShowError("Required field not found in data.", kLocation, false);
  const std::string directory = AgentObjects::WebDataDirectory();
  if (directory.empty()) return ShowError(TokensResource::kNoDataDirectory, kLocation, false);
  std::optional<int64_t> expires;
  if (days && !days->empty()) expires = UserTokens::DaysFromText(*days);
  std::string secret;
  UserTokens::Listed made;
  UserTokens::Refusal refusal;
  if (!UserTokens(directory).Add(*user, *name, expires, &secret, &made, &refusal)) {
    return ShowError(refusal.text, kLocation, false);
  }
  RecordChange(UserTokens::MadeText(made.user, made.name));
  return ShowUsers("Made the token " + made.name + " of " + made.user +
                       ". Copy its secret now: it is not shown again.",
                   secret);
}

uint32_t UsersPage::RevokeToken(const std::string& id) {
  const std::string directory = AgentObjects::WebDataDirectory();
  if (directory.empty()) return ShowError(TokensResource::kNoDataDirectory, kLocation, false);
  UserTokens::Listed revoked;
  UserTokens::Refusal refusal;
  if (!UserTokens(directory).RevokeId(id, &revoked, &refusal)) return ShowError(refusal.text, kLocation, false);
  RecordChange(UserTokens::RevokedText(revoked.user, revoked.name));
  return ShowUsers("Revoked the token " + revoked.name + " of " + revoked.user + ".");
}

uint32_t UsersPage::ShowUsers(const std::string& notice, const std::string& secret) {
  std::vector<LibraryUsers::User> list;
  const LibraryUsers::Result listed = LibraryUsers(Request()).List(&list);
  if (!listed.Ok()) return ShowError(listed.text, "", false);
  const std::string self = UserName();

  AppendDialogHead("Users");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=90%>");
  Append("<TR class=dark><TD class=dark>The users of the web server and their levels: an administrator may "
         "change everything, an operator may acknowledge alarms and set maintenance windows, a reader may "
         "read. A new password, a lower level or removing a user takes effect at the user's next request; "
         "End sessions signs the user out at once.</TD></TR>");
  if (!notice.empty()) {
    AppendFormat("<TR class=dark><TD class=dark><P class=\"dialog-notice done\" id=notice role=status>%s</P>"
                 "</TD></TR>",
                 TextEscape::Html(notice).c_str());
  }
  if (!secret.empty()) {
    AppendFormat("<TR class=dark><TD class=dark><LABEL for=token_secret>Secret</LABEL> <TEXTAREA "
                 "id=token_secret class=token-secret readonly rows=2 autocomplete=off spellcheck=false>%s"
                 "</TEXTAREA></TD></TR>",
                 TextEscape::Html(secret).c_str());
  }

  Append("<TR class=dark><TD class=dark><H2 class=section-title>Users</H2><TABLE class=dark id=users>");
  Append("<TR class=dark><TH>User</TH><TH>Level</TH><TH></TH></TR>");
  if (list.empty()) Append("<TR class=dark><TD class=dark colspan=3>No users.</TD></TR>");
  int row = 0;
  for (const LibraryUsers::User& user : list) {
    const std::string name = TextEscape::Html(user.name);
    const std::string id = "level_" + std::to_string(row++);
    AppendFormat("<TR class=dark data-user=\"%s\"><TD class=\"dark user-name\">%s%s</TD>"
                 "<TD class=\"dark user-level\">%s</TD><TD class=\"dark user-actions\">",
                 name.c_str(), name.c_str(), user.name == self ? " <SPAN class=user-self>(you)</SPAN>" : "",
                 TextEscape::Html(user.level).c_str());
    AppendFormat("<FORM method=post action=\"%s\" class=user-action><INPUT type=hidden name=user value=\"%s\">%s"
                 "<INPUT type=submit name=set_level value=\"Set level\" aria-label=\"Set the level of %s\"></FORM>",
                 kLocation, name.c_str(), LevelSelect("level", id, user.level, "Level of " + user.name).c_str(),
                 name.c_str());
    AppendFormat("<FORM method=post action=\"%s\" class=user-action><INPUT type=hidden name=end_sessions "
                 "value=\"%s\"><INPUT type=submit value=\"End sessions\" aria-label=\"End the sessions of %s\">"
                 "</FORM>",
                 kLocation, name.c_str(), name.c_str());
    AppendFormat("<FORM method=post action=\"%s\" class=user-action><INPUT type=hidden name=remove value=\"%s\">"
                 "<INPUT type=submit value=\"Remove\" aria-label=\"Remove %s\"></FORM></TD></TR>",
                 kLocation, name.c_str(), name.c_str());
  }
  Append("</TABLE></TD></TR>");

  // Add a user.
  AppendFormat("<TR class=dark><TD class=dark><H2 class=section-title>Add a user</H2><FORM method=post "
               "action=\"%s\" id=add_form autocomplete=off><TABLE class=dark>",
               kLocation);
  Append(FieldRow("name", "User name", "<INPUT type=text name=name id=name maxlength=64>"));
  Append(FieldRow("password", "Password (8 characters or more)",
                  "<INPUT type=password name=password id=password autocomplete=new-password>"));
  Append(FieldRow("level", "Level", LevelSelect("level", "level", "reader", "")));
  Append("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=add value=\"Add User\">"
         "</TD></TR></TABLE></FORM></TD></TR>");

  // Reset a password.
  AppendFormat("<TR class=dark><TD class=dark><H2 class=section-title>Reset a password</H2><FORM method=post "
               "action=\"%s\" id=reset_form autocomplete=off><TABLE class=dark>",
               kLocation);
  std::string names = "<SELECT name=user id=reset_user>";
  for (const LibraryUsers::User& user : list) {
    const std::string name = TextEscape::Html(user.name);
    names += "<OPTION value=\"" + name + "\">" + name;
  }
  names += "</SELECT>";
  Append(FieldRow("reset_user", "User", names));
  Append(FieldRow("reset_password", "New password",
                  "<INPUT type=password name=password id=reset_password autocomplete=new-password>"));
  Append("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=reset "
         "value=\"Reset Password\"></TD></TR></TABLE></FORM></TD></TR>");

  std::vector<std::string> userNames;
  for (const LibraryUsers::User& user : list) userNames.push_back(user.name);
  AppendTokenSections(userNames);

  Append("<TR class=dark><TD class=dark><CENTER><A href=\"password.html\">Change your own password</A>&nbsp; "
         "<INPUT type=button value=\"Close\" onclick=\"window.close()\"></CENTER></TD></TR>");
  Append("</TABLE></CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

void UsersPage::AppendTokenSections(const std::vector<std::string>& users) {
  const std::string directory = AgentObjects::WebDataDirectory();
  std::vector<UserTokens::Listed> tokens;
  if (!directory.empty()) tokens = UserTokens(directory).List();
  Append("<TR class=dark><TD class=dark><H2 class=section-title>Tokens</H2>"
         "<P>A token lets a script call the agent's API as its user, with that user's level at each call. "
         "Its secret is shown once, when it is made.</P><TABLE class=dark id=tokens>");
  Append("<TR class=dark><TH>User</TH><TH>Token</TH><TH>Made</TH><TH>Expires</TH><TH></TH></TR>");
  if (tokens.empty()) Append("<TR class=dark><TD class=dark colspan=5>No tokens.</TD></TR>");
  for (const UserTokens::Listed& token : tokens) {
    const std::string user = TextEscape::Html(token.user);
    const std::string name = TextEscape::Html(token.name);
    AppendFormat("<TR class=dark data-token=\"%s\"><TD class=\"dark token-user\">%s</TD>"
                 "<TD class=\"dark token-name\">%s</TD><TD class=\"dark token-made\">%s</TD>"
                 "<TD class=\"dark token-expires\">%s</TD>"
                 "<TD class=\"dark user-actions\"><FORM method=post action=\"%s\" class=user-action>"
                 "<INPUT type=hidden name=revoke_token value=\"%s\"><INPUT type=submit value=\"Revoke\" "
                 "aria-label=\"Revoke the token %s of %s\"></FORM></TD></TR>",
                 TextEscape::Html(token.id).c_str(), user.c_str(), name.c_str(),
                 UserTokens::UtcText(token.created).c_str(),
                 token.expires != 0 ? UserTokens::UtcText(token.expires).c_str() : "never", kLocation,
                 TextEscape::Html(token.id).c_str(), name.c_str(), user.c_str());
  }
  Append("</TABLE></TD></TR>");

  AppendFormat("<TR class=dark><TD class=dark><H2 class=section-title>Make a token</H2><FORM method=post "
               "action=\"%s\" id=token_form autocomplete=off><TABLE class=dark>",
               kLocation);
  std::string names = "<SELECT name=user id=token_user>";
  for (const std::string& user : users) {
    const std::string name = TextEscape::Html(user);
    names += "<OPTION value=\"" + name + "\">" + name;
  }
  names += "</SELECT>";
  Append(FieldRow("token_user", "User", names));
  Append(FieldRow("token_name", "Token name", "<INPUT type=text name=token_name id=token_name maxlength=64>"));
  Append(FieldRow("expires_days", "Expires after (days; empty: never)",
                  "<INPUT type=text name=expires_days id=expires_days size=6 inputmode=numeric>"));
  Append("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=add_token "
         "value=\"Make Token\"></TD></TR></TABLE></FORM></TD></TR>");
}

}  // namespace orla
