#include "element_list_page.h"

#include <cstdlib>
#include <memory>
#include <vector>

#include "agent/core/orla_exception.h"
#include "agent/devices/status_bucket.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "text_escape.h"

namespace orla {

namespace {

// Splits at "|" the way strtok does: runs of separators count as one, and
// there is no empty token.
std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> tokens;
  size_t pos = 0;
  while (pos < list.size()) {
    const size_t start = list.find_first_not_of('|', pos);
    if (start == std::string::npos) break;
    size_t end = list.find('|', start);
    if (end == std::string::npos) end = list.size();
    tokens.push_back(list.substr(start, end - start));
    pos = end;
  }
  return tokens;
}

bool StartsWithSpace(const std::string& token) { return !token.empty() && token[0] == ' '; }

}  // namespace

const char* ElementListPage::StatusCell(int32_t status) {
  switch (StatusBucket::Of(status)) {
    case StatusBucket::Kind::kOk: return "<td><img src=ok.gif></td>";
    case StatusBucket::Kind::kDegraded: return "<td><img src=degraded.gif></td>";
    case StatusBucket::Kind::kFailed: return "<td><img src=failed.gif></td>";
    case StatusBucket::Kind::kUnknown:
    case StatusBucket::Kind::kNotPolled: break;
  }
  return "<td><img src=unknown.gif></td>";
}

int32_t ElementListPage::ElementCount() {
  ElementRegistry* registry = AgentObjects::FindRegistry();
  return registry != nullptr ? registry->ElementCount() : 0;
}

std::string ElementListPage::ElementList() {
  return AgentObjects::Registry().ListElements(true);
}

uint32_t ElementListPage::HandlePost() { return HandleGet(); }

uint32_t ElementListPage::HandleGet() {
  Append("<HTML>");
  Append("<HEAD>");
  Append("<SCRIPT language=javascript1.2 src='orla_utilities.js'> </SCRIPT>");
  Append("<SCRIPT language=javascript1.2 src='menu.js'> </SCRIPT>");
  Append("<SCRIPT language=javascript1.2 src='menu_ops.js'> </SCRIPT>");
  Append("<SCRIPT language=javascript1.2>includeStyleSheet();selected=null;</SCRIPT>");
  Append("</HEAD>");
  Append("<BODY>");

  int32_t menu = ElementCount();
  if (!IsAdministrator()) menu = -1;
  AppendFormat("<script language=javascript1.2>loadMenus(%d);</script>", menu);
  if (menu >= 0) WriteMenuBar();

  std::string list;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] { list = ElementList(); })) {
    Append("<center><br><br><DIV class=head2>Error retrieving element data.</DIV></center></body></html>");
    return SendPage();
  }

  const std::vector<std::string> tokens = SplitList(list);
  if (tokens.empty() || StartsWithSpace(tokens[0])) {
    Append("<br><br><center><DIV class=head2>No elements defined.</DIV></center>");
    return SendPage();
  }

  Append("<CENTER><FORM><TABLE cellspacing=0 border=0 width=100%>");
  Append("<TR><TD width=100% colspan=4 class=header>Tape Controller List</TD></TR>\n");
  Append("<TR class=header> <TD>Status</TD> <TD>Name</TD> <TD>TCP/IP Address</TD> <TD>Model Name</TD> </TR>\n");
  Append("<TR><TD width=100% colspan=4><img border=0 src=pixel_black.gif width=100% height=1></td></TR>");

  // A record is six tokens: status, name, address, description, device page
  // link, agent page URL. A short last record shows its missing fields empty.
  auto field = [&tokens](size_t index) { return index < tokens.size() ? tokens[index] : std::string(); };
  size_t at = 0;
  while (at < tokens.size() && !StartsWithSpace(tokens[at])) {
    const int32_t status = static_cast<int32_t>(std::strtol(tokens[at].c_str(), nullptr, 10));
    const std::string name = TextEscape::Html(field(at + 1));
    const std::string address = TextEscape::Html(field(at + 2));
    const std::string description = TextEscape::Html(field(at + 3));
    const std::string link = TextEscape::Html(field(at + 4));
    Append(StatusCell(status));
    AppendFormat("<td><A HREF=\"%s\" TARGET=\"%s\">%s</a></td><td>%s</td><td>%s</td></tr>\n", link.c_str(),
                 address.c_str(), name.c_str(), address.c_str(), description.c_str());
    at += 6;
    if (at < tokens.size() && !StartsWithSpace(tokens[at])) {
      Append("<TR class=light>");
      Append("<TR><TD width=100% colspan=4><img border=0 src=pixel_grey.gif width=100% height=1></td></TR>");
    }
  }

  Append("<TR><TD width=100% colspan=4><img border=0 src=pixel_black.gif width=100% height=1></td></TR>");
  Append("</table></form></center></body></html>");
  return SendPage();
}

void ElementListPage::WriteMenuBar() {
  Append("<SCRIPT LANGUAGE=JavaScript1.2>if (document.images) {");
  Append("img1off = new Image(); img1off.src = \"tcm_menu.gif\";");
  Append("img1on = new Image(); img1on.src = \"tcm_menu_roll.gif\";} </SCRIPT>");
  Append("<table bgColor=#ccccff border=0 cellPadding=0 cellSpacing=0 width=100%>");
  Append("<tr><td align=left width=115 height=18>");
  Append("<table width=115 border=0 cellPadding=0 cellSpacing=0>");
  Append("<tr><td align=center width=1><img src=pixel_white.gif width=1 height=18 border=0></td>");
  Append("<td align=center width=115><a href=\"javascript:window.showMenu(window.TCMAction,17,21);\"");
  Append("onClick=\"window.showMenu(window.TCMAction,17,21);\">");
  Append("<IMG NAME = \"img1\" SRC= \"tcm_menu_roll.gif\" border=\"0\"></a></td>");
  Append("<td align=\"center\" width=\"1\"><img src=\"pixel_white.gif\" width=\"1\" height=\"18\" border=\"0\"></td>");
  Append("</tr></table></td></tr></table>");
}

}  // namespace orla
