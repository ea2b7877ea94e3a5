#include "password_page.h"

#include <optional>
#include <string>

#include "library_users.h"
#include "text_escape.h"

namespace orla {

void PasswordPage::AppendPageStart() {
  AppendDialogHead("Change Password");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=90%>");
}

uint32_t PasswordPage::AppendPageEnd() {
  Append("</TABLE></CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

uint32_t PasswordPage::HandleGet() {
  AppendPageStart();
  AppendFormat("<TR class=dark><TD class=dark>Signed in as <B id=password_user>%s</B>. A new password needs at "
               "least 8 characters; it ends your sessions, this one too.</TD></TR>",
               TextEscape::Html(UserName()).c_str());
  AppendFormat("<TR class=dark><TD class=dark><FORM method=post action=\"%s\" id=password_form><TABLE class=dark>",
               kLocation);
  Append("<TR class=dark><TD class=dark><LABEL for=current>Current password</LABEL></TD><TD class=dark>"
         "<INPUT type=password name=current id=current autocomplete=current-password></TD></TR>");
  Append("<TR class=dark><TD class=dark><LABEL for=new_password>New password</LABEL></TD><TD class=dark>"
         "<INPUT type=password name=new_password id=new_password autocomplete=new-password></TD></TR>");
  Append("<TR class=dark><TD class=dark><LABEL for=repeat>New password again</LABEL></TD><TD class=dark>"
         "<INPUT type=password name=repeat id=repeat autocomplete=new-password></TD></TR>");
  Append("<TR class=dark><TD class=dark></TD><TD class=dark><INPUT type=submit name=change "
         "value=\"Change Password\"></TD></TR></TABLE></FORM></TD></TR>");
  Append("<TR class=dark><TD class=dark><CENTER><A href=\"/KOR/\">Back to the console</A></CENTER></TD></TR>");
  return AppendPageEnd();
}

uint32_t PasswordPage::HandlePost() {
  const std::optional<std::string> current = GetField("current");
  const std::optional<std::string> password = GetField("new_password");
  const std::optional<std::string> repeat = GetField("repeat");
  if (!current || !password || !repeat) return ShowError("Required field not found in data.", kLocation, false);
  if (*password != *repeat) return ShowError(kRepeatDiffers, kLocation, false);
  const LibraryUsers::Result result = LibraryUsers(Request()).ChangeOwnPassword(*current, *password);
  if (!result.Ok()) return ShowError(result.text, kLocation, false);
  RecordChange(result.What());
  AppendPageStart();
  AppendFormat("<TR class=dark><TD class=dark><P class=\"dialog-notice done\" id=notice role=status>%s</P>"
               "</TD></TR>",
               kChanged);
  Append("<TR class=dark><TD class=dark><CENTER><A href=\"/zepa/login?return=%2FKOR%2F\" id=sign_in>Sign in"
         "</A></CENTER></TD></TR>");
  return AppendPageEnd();
}

}  // namespace orla
