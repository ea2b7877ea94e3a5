#include "plugins/webagent_kit/device_page.h"

#include <cctype>
#include <utility>

#include "agent/core/error_codes.h"
#include "platform/text/html_escape.h"
#include "platform/text/string_printf.h"

namespace orla {

DevicePage::DevicePage(std::string device, std::string machine)
    : device_(std::move(device)), machine_(std::move(machine)) {}

bool DevicePage::IsSilence(int code) {
  return code == kErrTimeout || code == kErrCommunication || code == kErrSessionOpen;
}

std::string DevicePage::Escape(const std::string& text) { return HtmlEscape::Text(text); }

std::string DevicePage::UrlEncode(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) != 0 || c == '.' || c == '-' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += StringPrintf("%%%02X", c);
    }
  }
  return out;
}

std::string DevicePage::Row(const char* label, const std::string& value) {
  return StringPrintf("<TR class=light><TD class=light width=30%%><B>%s</B></TD><TD class=light>%s</TD></TR>\n", label,
                      Escape(value).c_str());
}

std::string DevicePage::StatusImage(int agentStatus) {
  const char* image = "unknown.gif";
  if (agentStatus == 0) image = "ok.gif";
  if (agentStatus == 1) image = "degraded.gif";
  if (agentStatus == 2) image = "failed.gif";
  return StringPrintf("<IMG src=/KOR/%s alt=\"\"> ", image);
}

std::string DevicePage::Query() const {
  return "?device=" + UrlEncode(device_) + "&addr=" + UrlEncode(machine_);
}

std::string DevicePage::Head(const std::string& title) const {
  std::string html = "<HTML lang=\"en\"><HEAD><TITLE>" + Escape(title) + "</TITLE>\n";
  html += "<META http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">\n";
  html += "<SCRIPT language=javascript1.2 src='/KOR/orla_utilities.js'> </SCRIPT>\n";
  html += "<SCRIPT language=javascript1.2>includeStyleSheet();</SCRIPT>\n";
  html += "</HEAD><BODY class=dialog><MAIN>\n";
  const std::string who = device_.empty() ? machine_ : device_ + " (" + machine_ + ")";
  html += "<TABLE cellspacing=0 border=0 width=100%><TR><TD class=header><H1 class=table-heading>Device " +
          Escape(who) + "</H1></TD></TR></TABLE>\n";
  // The way back to the element list, whichever window the page is in.
  html += "<P class=webagent-back><A href=\"/KOR/\">&larr; Tape Controller Management</A></P>\n";
  return html;
}

std::string DevicePage::Navigation(const char* current, const std::vector<Link>& links) const {
  const std::string query = Escape(Query());
  std::string html = "<P class=webagent-nav>";
  bool first = true;
  for (const Link& link : links) {
    if (!link.shown) continue;
    if (!first) html += " | ";
    first = false;
    if (std::string(current) == link.page) {
      html += StringPrintf("<B>%s</B>", link.label);
    } else {
      html += StringPrintf("<A href=\"%s%s\">%s</A>", link.page, query.c_str(), link.label);
    }
  }
  return html + "</P>\n";
}

std::string DevicePage::Tail() const { return "</MAIN></BODY></HTML>\n"; }

std::string DevicePage::TrapTargetAction() const {
  if (device_.empty() || !mayChange_) return std::string();
  const std::string href = "/KOR/set_trap_target.html?element_name=" + UrlEncode(device_) + "&return=device";
  return "<P class=device-actions id=orla-trap-target-action hidden><A href=\"" + Escape(href) +
         "\" target=orla_trap_target>Send traps to this agent\u2026</A></P>\n";
}

std::string DevicePage::Message(const std::string& title, const std::string& html) const {
  std::string page = Head(title);
  page += "<DIV class=head2>" + Escape(title) + "</DIV>\n<P>" + html + "</P>\n";
  page += "<P><A href=\"index.html" + Escape(Query()) + "\">Try again</A></P>\n";
  return page + Tail();
}

std::string DevicePage::Failure(int code, const std::string& message) const {
  if (IsSilence(code)) {
    return Message("Device not answering", "The device at " + Escape(machine_) +
                                               " did not answer over SNMP. It may be switched off or unreachable, "
                                               "or it may not accept the community of its device type. (" +
                                               Escape(message) + ")");
  }
  return Message("Device error", "The device at " + Escape(machine_) + " answered with an error: " + Escape(message));
}

}  // namespace orla
