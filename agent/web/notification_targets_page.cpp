#include "notification_targets_page.h"

#include <optional>

#include "agent/core/snmp_v3_credential_store.h"
#include "agent/snmp/local_engine.h"
#include "agent/traps/notification_target_list.h"
#include "platform/snmpmgr/snmp_local_engine.h"
#include "notification_target_change.h"
#include "text_escape.h"

namespace orla {

namespace {

constexpr const char* kPageLocation = "notification_targets.html";
constexpr NotificationTargetList::Kind kKinds[] = {
    NotificationTargetList::Kind::kV2cTrap, NotificationTargetList::Kind::kV2cInform,
    NotificationTargetList::Kind::kV3Trap, NotificationTargetList::Kind::kV3Inform};

}  // namespace

uint32_t NotificationTargetsPage::HandleGet() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  return ShowTargets("");
}

uint32_t NotificationTargetsPage::ShowTargets(const std::string& notice) {
  NotificationTargetList list;
  std::string error;
  if (!NotificationTargetChange::Load(&list, &error)) return ShowError(error, kPageLocation, false);
  LocalEngine engine;
  engine.id = SnmpMgrLocalEngineId();
  engine.boots = SnmpMgrLocalEngineBoots();

  AppendDialogHead("Notification Targets");
  Append("</HEAD><BODY class=dialog onLoad=\"SizeToFit();\">");
  Append("<SCRIPT language=JavaScript1.2>BeginContentBlock();</SCRIPT>");
  Append("<CENTER><TABLE class=dark width=90%>");
  Append("<TR class=dark><TD class=dark colspan=3>Besides the SNMPv1 trap hosts of the agent configuration, the "
         "agent sends its status changes as SNMPv2c or SNMPv3 notifications to these targets.</TD></TR>");
  AppendFormat("<TR class=dark><TD class=dark colspan=3>SNMP engine ID <CODE id=engine_id>%s</CODE>, "
               "engine boots <SPAN id=engine_boots>%u</SPAN></TD></TR>",
               TextEscape::Html(engine.HexId()).c_str(), engine.boots);
  if (!notice.empty()) {
    AppendFormat("<TR class=dark><TD class=dark colspan=3 id=notice>%s</TD></TR>", TextEscape::Html(notice).c_str());
  }
  // In v3-only mode the targets with a community are kept but not sent to.
  const bool v3Only = SnmpV3CredentialStore::Instance().Current()->V3Only();
  if (v3Only) {
    Append("<TR class=dark><TD class=dark colspan=3><P class=v3-only-notice id=v3_only_notice>v3-only mode is on: "
           "targets with a community (SNMPv2c) are not used in v3-only mode.</P></TD></TR>");
  }
  Append("<TR class=dark><TH>Target</TH><TH>Kind</TH><TH>Community or profile</TH></TR>");
  for (const NotificationTargetList::Target& t : list.Targets()) {
    const std::string name = TextEscape::Html(NotificationTargetList::Name(t));
    const std::string credential = NotificationTargetList::IsV3(t.kind)
                                       ? "profile " + TextEscape::Html(t.credential)
                                       : std::string(v3Only ? "community (not shown; not used in v3-only mode)"
                                                            : "community (not shown)");
    AppendFormat("<TR class=dark><TD class=dark>%s</TD><TD class=dark>%s</TD><TD class=dark>%s "
                 "<FORM method=post action=\"%s\" style=\"display:inline\"><INPUT type=hidden name=remove "
                 "value=\"%s\"><INPUT type=submit value=\"Remove\"></FORM></TD></TR>",
                 name.c_str(), NotificationTargetList::KindName(t.kind), credential.c_str(), kPageLocation,
                 name.c_str());
  }
  Append("<TR class=dark><TD class=dark colspan=3><HR></TD></TR>");
  AppendFormat("<TR class=dark><TD class=dark colspan=3><FORM method=post name=input_form action=\"%s\">",
               kPageLocation);
  // One field a line, so the form reads the same in a narrow window.
  Append("<TABLE class=dark>");
  Append("<TR class=dark><TD class=dark><LABEL for=target>Target (HOST:PORT)</LABEL></TD>"
         "<TD class=dark><INPUT type=text name=target id=target></TD></TR>");
  Append("<TR class=dark><TD class=dark><LABEL for=kind>Kind</LABEL></TD><TD class=dark><SELECT name=kind id=kind>");
  for (const auto kind : kKinds) {
    const char* name = NotificationTargetList::KindName(kind);
    AppendFormat("<OPTION value=\"%s\">%s", name, name);
  }
  Append("</SELECT></TD></TR>");
  Append("<TR class=dark><TD class=dark><LABEL for=credential>Community or profile</LABEL></TD>"
         "<TD class=dark><INPUT type=text name=credential id=credential></TD></TR>");
  Append("<TR class=dark><TD class=dark></TD><TD class=dark>"
         "<INPUT type=submit name=add value=\"Add Target\"></TD></TR>");
  Append("</TABLE></FORM></TD></TR>");
  Append("<TR class=dark><TD class=dark colspan=3><CENTER><A href=\"snmpv3_profiles.html\">SNMPv3 profiles</A>&nbsp; "
         "<INPUT type=button value=\"Close\" onclick=\"window.close()\"></CENTER></TD></TR>");
  Append("</TABLE></CENTER>");
  Append("<SCRIPT language=JavaScript1.2>EndContentBlock();</SCRIPT>");
  Append("</BODY></HTML>");
  return SendPage();
}

uint32_t NotificationTargetsPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  NotificationTargetChange::Result result;
  if (const std::optional<std::string> removed = GetField("remove")) {
    result = NotificationTargetChange::Remove(*removed);
  } else {
    const std::optional<std::string> name = GetField("target");
    const std::optional<std::string> kind = GetField("kind");
    const std::optional<std::string> credential = GetField("credential");
    if (!name || !kind || !credential) return ShowError("Required field not found in data.", kPageLocation, false);
    result = NotificationTargetChange::Set(*name, *kind, *credential);
  }
  if (result.outcome != NotificationTargetChange::Outcome::kDone) return ShowError(result.text, kPageLocation, false);
  RecordChange(result.what);
  return ShowTargets("The agent " + result.what + ".");
}

}  // namespace orla
