#include "rename_element_page.h"

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "element_change_text.h"
#include "element_names.h"
#include "rename_element_check.h"
#include "text_escape.h"
#include "platform/text/string_printf.h"

namespace orla {

uint32_t RenameElementPage::HandleGet() {
  std::vector<std::string> names;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    names = AgentObjects::Registry().Snapshot()->Names();
  })) {
    return ShowError(failed->Message(), nullptr, false);
  }
  AppendDialogHead("Rename Tape Controller");
  Append(
      "</HEAD><BODY class=dialog onLoad=\"SizeToFit(); "
      "document.input_form.new_name.focus();document.input_form.new_name.select();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE name=\"content\" class=dark width=80%><TR class=dark><TD class=dark valign=top>");
  Append("1.</TD><TD class=dark>Select the tape controller you wish to rename.");
  Append("<FORM method=post name=input_form action=\"rename_element.html\">");
  Append("<SELECT name=\"element_name\" size=5>");
  // No option is preselected, also when an error page leads back here: the
  // administrator picks the element to rename, so a hasty "Rename" cannot
  // rename one that happens to be marked.
  for (const std::string& name : names) {
    const std::string shown = TextEscape::Html(name);
    AppendFormat("<OPTION value=\"%s\">%s", shown.c_str(), shown.c_str());
  }
  Append("</SELECT><P>");
  Append(
      "</TD></TR><TR><TD class=dark valign=top>2.</TD><TD class=dark>Enter a new name for this tape controller (up "
      "to 8 characters):<BR>");
  Append("<INPUT type=text name=new_name maxlength=8><br><br>");
  Append("<INPUT type=submit value=\"Rename\">&nbsp;");
  Append("<INPUT type=button value=\"Close\" onclick=\"window.close()\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/Rename_Tape_Controller.htm');\">");
  Append("</TD></TR></TABLE></FORM></CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

uint32_t RenameElementPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  const std::optional<std::string> current = GetField("element_name");
  std::optional<std::string> wanted = GetField("new_name");
  // A browser sends an empty text field as "new_name=", and the form puts it
  // last: that is an empty new name, not a malformed form.
  if (!wanted && NamedLastWithoutValue("new_name")) wanted = std::string();
  if (!current || !wanted) return ShowError("Bad data format returned by form.", nullptr, false);

  // The OK button of these errors returns to the dialog (the name as
  // decoded; ShowError escapes it for the script).
  const std::string location = StringPrintf("rename_element.html?element_name=%s", current->c_str());
  if (std::optional<std::string> refused = RenameElementCheck::Check(*current, *wanted)) {
    return ShowError(*refused, location, false);
  }

  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    AgentObjects::Registry().RenameElement(*current, *wanted);
  })) {
    // The list behind the dialog may be out of date: OK reloads it; the
    // error naming the taken name leads back to the dialog.
    return ShowError(RenameElementCheck::RefusalText(*failed), failed->Code() == kErrNameInUse ? location : std::string(),
                     true);
  }
  RecordChange(ElementChangeText::Renamed(*current, *wanted), *wanted);
  return ShowSuccess("The tape controller has been renamed.");
}

bool RenameElementPage::NamedLastWithoutValue(const char* name) {
  // The same source GetField reads: the posted data, else the query string.
  const EXTENSION_CONTROL_BLOCK* request = Request();
  if (request == nullptr) return false;
  const char* source = nullptr;
  if (request->lpbData != nullptr) {
    source = reinterpret_cast<const char*>(request->lpbData);
  } else if (request->lpszQueryString != nullptr && *request->lpszQueryString != '\0') {
    source = request->lpszQueryString;
  } else {
    return false;
  }
  for (const char* token = NextToken(source, "\n\r="); token != nullptr; token = NextToken(nullptr, "\n\r=")) {
    const bool matches = std::strcmp(token, name) == 0;
    const char* value = NextToken(nullptr, "\n\r&");
    if (matches) return value == nullptr;
  }
  return false;
}

}  // namespace orla
