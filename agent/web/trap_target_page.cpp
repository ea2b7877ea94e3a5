#include "trap_target_page.h"

#include <memory>
#include <optional>
#include <string>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_snapshot.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "add_element_form.h"
#include "text_escape.h"

namespace orla {

namespace {

// The question the element's plug-in asks instead of the tape
// controller's; empty when it has none (or the name is not managed).
std::string PluginQuestion(const std::string& name) {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  if (registry == nullptr) return std::string();
  const std::shared_ptr<const ElementSnapshot> snapshot = registry->Snapshot();
  const ElementSnapshot::Entry* entry = snapshot->FindByName(name);
  std::string question;
  if (entry != nullptr) OrlaException::Discard([&] { question = entry->TrapTargetQuestion(); });
  return question;
}

}  // namespace

uint32_t TrapTargetPage::HandleGet() {
  const std::optional<std::string> name = GetField("element_name");
  if (!name) return ShowError("No element specified.", nullptr, false);
  const std::string shown = TextEscape::Html(*name);
  // Opened from a device page (our own link) rather than by the add.
  const bool fromDevice = GetField(kReturnField).value_or("") == kReturnDevice;
  const std::string question = PluginQuestion(*name);
  Append(question.empty() ? "<HTML><HEAD><TITLE>Reconfigure Tape Controller?</TITLE>"
                          : "<HTML><HEAD><TITLE>Send Traps to This Agent?</TITLE>");
  Append("<SCRIPT language=javascript1.2 src='orla_utilities.js'> </SCRIPT>");
  Append("<SCRIPT language=javascript1.2>includeStyleSheet();</SCRIPT>");
  Append(
      "</HEAD><BODY class=dialog onLoad=\"document.input_form.yes.focus();\"><CENTER><TABLE class=dark "
      "width=80%><TR class=dark>");
  Append("<TD valign=top><IMG src=\"/KOR/warningwhite.gif\"></TD>");
  Append("<TD>");
  AppendFormat("<DIV class=head2>%s</DIV><P>", shown.c_str());
  if (question.empty()) {
    Append(
        "The tape controller is not currently configured to send SNMP traps to the management agent.  Do you want "
        "to correct this problem and reboot the tape controller?");
  } else {
    Append(TextEscape::Html(question));
  }
  Append("</TD></TR></TABLE><BR>");
  Append("<FORM name=input_form method=post action=\"set_trap_target.html\">");
  AppendFormat("<INPUT type=hidden name=element_name value='%s'>", shown.c_str());
  if (fromDevice) AppendFormat("<INPUT type=hidden name=%s value=%s>", kReturnField, kReturnDevice);
  Append("<BR>");
  Append("<INPUT type=submit name='yes' value=\"Yes\">&nbsp;");
  Append("<INPUT type=submit name='no' value=\"No\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/snmp_notification.htm');\">");
  Append("</FORM></CENTER></BODY></HTML>");
  return SendPage();
}

uint32_t TrapTargetPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  const bool fromDevice = GetField(kReturnField).value_or("") == kReturnDevice;
  if (GetField("no")) return fromDevice ? ShowSuccess("Nothing was changed.") : ShowEmptyAddForm();
  const std::optional<std::string> name = GetField("element_name");
  if (!name) return ShowError("Bad data format returned by form.", nullptr, false);
  // Whatever the button, a POST with a name and without "no" reconfigures.
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    AgentObjects::Registry().ConfigureTrapReceiver(*name);
  })) {
    if (failed->Code() == kErrNoSuchObject) return ShowError("The element specified does not exist.", nullptr, false);
    return ShowError(failed->Message(), nullptr, false);
  }
  RecordChange("set the trap destination of the device " + *name + " to this agent", *name);
  // From a device page: say so, and have the device page show it.
  if (fromDevice) return ShowSuccess(*name + " now sends its SNMP traps to this agent.");
  return ShowEmptyAddForm();
}

uint32_t TrapTargetPage::ShowEmptyAddForm() {
  AddElementForm form(Request());
  return form.ShowForm(true);
}

}  // namespace orla
