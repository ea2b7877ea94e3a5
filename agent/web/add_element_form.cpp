#include "add_element_form.h"

#include "text_escape.h"

namespace orla {

uint32_t AddElementForm::ShowForm(bool clear) {
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

}  // namespace orla
