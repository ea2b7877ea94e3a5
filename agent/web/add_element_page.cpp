#include "add_element_page.h"

#include <memory>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "element_names.h"
#include "text_escape.h"
#include "trap_target_page.h"

namespace orla {

namespace {

// Where the OK button of this page's error pages leads: the empty form.
constexpr const char* kFormLocation = "add_element.html";

}  // namespace

uint32_t AddElementPage::ShowForm(bool clear) {
  if (clear) {
    name_.reset();
    address_.reset();
  } else {
    name_ = GetField("element_name");
    address_ = GetField("element_address");
  }
  AppendDialogHead("Add Tape Controller");
  WriteResetParent(clear);
  Append("</HEAD>");
  Append("<BODY class=dialog onLoad=\"SizeToFit(); document.input_form.element_address.focus(); ResetParent();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER>");
  Append("<TABLE class=dark width=80% border=0>");
  Append("<FORM name=input_form action=add_element.html method=POST>");
  Append("<TR class=dark>");
  Append("<TD class=dark colspan=2>");
  Append(
      "Enter one or more Tape Controllers you wish to monitor.<P>For each device, enter the TCP/IP address and a "
      "name of your choice, then click the \"Add\" button.");
  Append("<BR><BR></TD></TR>");
  Append("<TR class=dark>");
  Append("<TD class=dark>TCP/IP Address:</TD>");
  if (address_) {
    AppendFormat("<TD class=dark> <input type=text maxlength=32 size=20 name=element_address value='%s'> </TD>",
                 TextEscape::Html(*address_).c_str());
  } else {
    Append("<TD class=dark> <input type=text maxlength=32 size=20 name=element_address> </TD>");
  }
  Append("</TR>");
  Append("<TR class=dark>");
  Append("<TD class=dark>Device Name:<BR>(up to 8 characters)</TD>");
  if (name_) {
    AppendFormat("<TD class=dark> <input type=text maxlength=8 size=20 name=element_name value='%s'> </TD>",
                 TextEscape::Html(*name_).c_str());
  } else {
    Append("<TD class=dark> <input type=text maxlength=8 size=20 name=element_name> </TD>");
  }
  Append("</TR><TR class=dark><TD class=dark>");
  Append("<BR><BR>");
  Append("<INPUT type=submit value=\"Add\">&nbsp;");
  Append("<INPUT type=button value=\"Close\" onClick=\"window.close()\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/add_tape_controller.htm');\">");
  Append("</TD></TR></FORM>");
  Append("</TABLE>");
  Append("</CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY>");
  Append("</HTML>");
  return SendPage();
}

uint32_t AddElementPage::HandleGet() { return ShowForm(false); }

uint32_t AddElementPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  name_ = GetField("element_name");
  address_ = GetField("element_address");
  if (!name_ || !address_) return ShowError("One or more fields have not been specified.", kFormLocation, false);
  if (name_->empty() || name_->size() > ElementNames::kMaxLength) {
    return ShowError("The tape controller name must be between 1 and 8 characters in length.", kFormLocation,
                     false);
  }
  if (ElementNames::HasForbidden(*name_)) {
    return ShowError("The space, pipe, plus, semicolon, and apostrophe characters are not permitted.",
                     kFormLocation, false);
  }
  if (address_->empty()) return ShowError("No address has been specified.", kFormLocation, false);
  if (!ResolveAddress(&*address_)) {
    return ShowError("The specified address could not be verified.", kFormLocation, false);
  }

  try {
    // An element added here polls at the agent's configured interval, like
    // every element loaded at start.
    AgentObjects::Registry().AddElement(*name_, *address_);
  } catch (OrlaException* e) {
    std::unique_ptr<OrlaException> owned(e);
    switch (e->Code()) {
      case kErrNameInUse:
        return ShowError("There is already a tape controller using that name.  Please enter a new name.",
                         kFormLocation, false);
      case kErrTrapsNotConfigured: {
        RecordChange("added the tape controller " + *name_ + " (" + *address_ + ")", *name_, *address_);
        // The element is added; ask whether the device is to send its traps
        // here, naming it from this request's "element_name".
        TrapTargetPage question(Request());
        return question.HandleGet();
      }
      case kErrAlreadyManaged:
        return ShowError("The tape controller at the specified address is already being managed.", kFormLocation,
                         false);
      default:
        return ShowError(e->Message(), kFormLocation, false);
    }
  }
  RecordChange("added the tape controller " + *name_ + " (" + *address_ + ")", *name_, *address_);
  return ShowForm(true);
}

}  // namespace orla
