#include "agent_config_page.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "agent/alarms/alert_pusher.h"
#include "agent/core/object_list.h"
#include "platform/text/string_printf.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent/traps/trap_destination.h"
#include "agent/traps/trap_destination_list.h"
#include "agent_objects.h"
#include "polling_interval_check.h"
#include "text_escape.h"
#include "trap_host_check.h"

namespace orla {

namespace {

// Where the OK button of this page's error pages leads.
constexpr const char* kPageLocation = "agent_config.html";

// The decimal number at the start of `text`, read as atoi reads it (leading
// blanks, a sign, digits), without atoi's overflow: far too large values
// stay far out of range.
long MinutesOf(const std::string& text) { return std::strtol(text.c_str(), nullptr, 10); }

}  // namespace

uint32_t AgentConfigPage::HandleGet() {
  if (!IsAdministrator()) return ShowReadOnly();
  std::unique_ptr<ObjectList> destinations(AgentObjects::TrapDestinations().Copy());
  AppendDialogHead("AgentConfiguration");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=80%>");
  Append("<TR class=dark><TD class=dark colspan=2>");
  Append("<FORM method=post name=input_form action=\"agent_config.html\">");
  Append("This agent sends SNMP traps to these hosts:");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark>");
  Append("<SELECT name=\"client_address\" size=4>");
  for (int32_t i = 0; i < destinations->Count(); ++i) {
    const std::string shown = TextEscape::Html(static_cast<TrapDestination*>(destinations->Get(i))->Text());
    AppendFormat("<OPTION value=\"%s\">%s", shown.c_str(), shown.c_str());
  }
  Append("</SELECT>");
  Append("</TD>");
  Append("<TD class=dark valign=bottom>");
  Append("<INPUT type=submit name=\"remove\" value=\"Remove Address\">&nbsp;");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark colspan=2>");
  Append(
      "<BR>You can specify one or more hosts to receive SNMP traps from this agent.  Enter one address or host name "
      "at a time.");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark valign=bottom>");
  Append("<INPUT type=text name=new_address>");
  Append("</TD>");
  Append("<TD class=dark valign=bottom>");
  Append("<INPUT type=submit name=\"add\" value=\"Add Address\">&nbsp;");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark valign=bottom colspan=2>");
  Append("<HR>");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark valign=bottom>");
  Append("Agent polling interval: ");
  Append("<SELECT name=polling_interval>");
  // An interval that is not a whole number of minutes selects the minute
  // below it; one outside the choices selects none.
  const int32_t selected = AgentObjects::Registry().PollingInterval() / 60;
  for (int minutes = PollingIntervalCheck::kMinMinutes; minutes <= PollingIntervalCheck::kMaxMinutes; ++minutes) {
    if (minutes == selected) {
      AppendFormat("<OPTION value=\"%d\" SELECTED>%d", minutes, minutes);
    } else {
      AppendFormat("<OPTION value=\"%d\">%d", minutes, minutes);
    }
  }
  Append("</SELECT>");
  Append("minutes.");
  Append("</TD>");
  Append("<TD class=dark valign=bottom>");
  Append("<INPUT type=submit name=\"change\" value=\"Change Interval\">&nbsp;");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark valign=bottom colspan=2>");
  Append("<HR>");
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark valign=bottom colspan=2>");
  Append("<CENTER>");
  Append("<INPUT type=button value=\"Close\" onclick=\"window.close()\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/agent_configuration_to.htm');\">");
  Append("</CENTER>");
  Append("</TD></TR></TABLE></FORM></CENTER>");
  AppendAlerting();
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

void AgentConfigPage::AppendAlerting() {
  const AlertPusher* pusher = AlertPusher::Instance();
  if (pusher == nullptr) return;
  const std::vector<std::string> shown = pusher->Config().Describe();
  const std::vector<std::string> errors = pusher->ConfigErrors();
  // Nothing while the file names no Alertmanager and holds no error: the
  // page then stays as it always was.
  if (shown.empty() && errors.empty()) return;
  Append("<DIV class=alerting id=alerting><H3>Alertmanagers</H3>");
  if (shown.empty()) {
    Append("<P>This agent pushes its alarms to no Alertmanager.</P>");
  } else {
    Append("<P>This agent pushes its alarms to these Alertmanagers, which reach people by e-mail, chat or paging:</P>");
    Append("<UL id=alertmanagers class=read-only-list>");
    for (const std::string& line : shown) AppendFormat("<LI>%s</LI>", TextEscape::Html(line).c_str());
    Append("</UL>");
  }
  if (!errors.empty()) {
    AppendFormat("<P>%s has lines that were left out:</P><UL id=alerting_errors class=read-only-list>",
                 AlertingConfig::kFileName);
    for (const std::string& error : errors) AppendFormat("<LI>%s</LI>", TextEscape::Html(error).c_str());
    Append("</UL>");
  }
  AppendFormat("<P class=read-only-note>Change %s in the agent directory; the agent reads it again by itself.</P></DIV>",
               AlertingConfig::kFileName);
}

uint32_t AgentConfigPage::ShowReadOnly() {
  std::unique_ptr<ObjectList> destinations(AgentObjects::TrapDestinations().Copy());
  const int32_t seconds = AgentObjects::Registry().PollingInterval();
  AppendDialogHead("AgentConfiguration");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=80% id=agent_config_view>");
  Append("<TR class=dark><TD class=dark>This agent sends SNMP traps to these hosts:");
  if (destinations->Count() == 0) {
    Append("<P id=trap_hosts>None.</P>");
  } else {
    Append("<UL id=trap_hosts class=read-only-list>");
    for (int32_t i = 0; i < destinations->Count(); ++i) {
      AppendFormat("<LI>%s</LI>",
                   TextEscape::Html(static_cast<TrapDestination*>(destinations->Get(i))->Text()).c_str());
    }
    Append("</UL>");
  }
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark><HR>");
  if (seconds % 60 == 0) {
    AppendFormat("Agent polling interval: <SPAN id=polling_interval>%d</SPAN> %s.", seconds / 60,
                 seconds == 60 ? "minute" : "minutes");
  } else {
    AppendFormat("Agent polling interval: <SPAN id=polling_interval>%d</SPAN> seconds.", seconds);
  }
  Append("</TD></TR>");
  Append("<TR class=dark><TD class=dark><P class=read-only-note id=read_only_note>You may read this configuration; "
         "changing it needs the administrator right.</P></TD></TR>");
  Append("<TR class=dark><TD class=dark><HR><CENTER>");
  Append("<INPUT type=button value=\"Close\" onclick=\"window.close()\">&nbsp;");
  Append("<INPUT type=button value=\"Help\" onClick=\"opener.launchHelp('/KOR/help/agent_configuration_to.htm');\">");
  Append("</CENTER></TD></TR></TABLE></CENTER>");
  AppendAlerting();
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

uint32_t AgentConfigPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  if (GetField("remove")) return RemoveDestination();
  if (GetField("add")) return AddDestination();
  if (GetField("change")) {
    const std::optional<std::string> minutes = GetField("polling_interval");
    if (minutes) return ChangeInterval(*minutes);
  }
  return ShowError("Unexpected data returned by web browser", kPageLocation, false);
}

uint32_t AgentConfigPage::RemoveDestination() {
  const std::optional<std::string> selected = GetField("client_address");
  if (!selected) return ShowError("Required field not found in data.", kPageLocation, false);
  AgentObjects::TrapDestinations().Remove(selected->c_str());
  RecordChange(TrapHostCheck::RemovedText(*selected));
  return HandleGet();
}

uint32_t AgentConfigPage::AddDestination() {
  const std::optional<std::string> typed = GetField("new_address");
  if (!typed) return ShowError("Required field not found in data.", kPageLocation, false);

  // The names are looked up without the list's lock; the add happens only
  // if the list is still the one checked, else the check runs again, so two
  // administrators adding one host at once add it once.
  TrapDestinationList& list = AgentObjects::TrapDestinations();
  for (;;) {
    uint64_t revision = 0;
    const std::vector<std::string> listed = list.Texts(&revision);
    if (const char* refused = TrapHostCheck::Check(*typed, listed)) return ShowError(refused, kPageLocation, false);
    // Stored as typed, not as resolved.
    if (list.AddIfUnchanged(typed->c_str(), revision)) {
      RecordChange(TrapHostCheck::AddedText(*typed));
      return HandleGet();
    }
  }
}

uint32_t AgentConfigPage::ChangeInterval(const std::string& minutes) {
  const long value = MinutesOf(minutes);
  if (const char* refused = PollingIntervalCheck::CheckMinutes(value)) {
    return ShowError(refused, kPageLocation, false);
  }
  const std::string what = PollingIntervalCheck::ChangeText(AgentObjects::Registry().PollingInterval(), value);
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    AgentObjects::Registry().SetPollingInterval(static_cast<int32_t>(value) * 60);
  })) {
    // storage.ini could not be rewritten (logged); the interval is in effect.
    RecordChange(what);
    return ShowError(failed->Message(), kPageLocation, false);
  }
  RecordChange(what);
  return HandleGet();
}

}  // namespace orla
