#include "remove_element_page.h"

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
#include "text_escape.h"

namespace orla {

uint32_t RemoveElementPage::HandleGet() {
  std::vector<std::string> names;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    names = AgentObjects::Registry().Snapshot()->Names();
  })) {
    return ShowError(failed->Message(), nullptr, false);
  }
  AppendDialogHead("Remove Tape Controller");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit(); document.input_form.ok.focus();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE width=80% class=dark border=0><TR class=dark><TD class=dark>");
  Append("Select the tape controller you wish to remove from your list of monitored devices.");
  Append("<FORM name=input_form method=post action=\"delete_element.html\">");
  Append("<SELECT name=\"element_name\" size=5>");
  for (const std::string& name : names) {
    const std::string shown = TextEscape::Html(name);
    AppendFormat("<OPTION value=\"%s\">%s", shown.c_str(), shown.c_str());
  }
  Append("</SELECT>");
  Append("<P>");
  Append(
      "The agent will stop monitoring this device.  You can resume monitoring at any time by adding the device "
      "back to the list.<P><CENTER>");
  Append("<INPUT type=submit name=ok value=\"Remove\">&nbsp;");
  Append("<INPUT type=button value=\"Close\" onclick=\"window.close()\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/Remove_Tape_Controller.htm');\">");
  Append("</CENTER></FORM>");
  Append("</TD></TR></TABLE>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</CENTER></BODY></HTML>");
  return SendPage();
}

uint32_t RemoveElementPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  const std::optional<std::string> name = GetField("element_name");
  if (!name) return ShowError("No tape controller specified.", nullptr, false);
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    AgentObjects::Registry().RemoveElement(*name);
  })) {
    // The list behind the dialog is out of date: OK reloads it.
    if (failed->Code() == kErrNoSuchObject) return ShowError(kNoSuchElement, nullptr, true);
    return ShowError(failed->Message(), nullptr, true);
  }
  RecordChange(ElementChangeText::Removed(*name), *name);
  return ShowSuccess("The tape controller has been removed.");
}

}  // namespace orla
