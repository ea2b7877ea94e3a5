#include "fibre_page.h"

#include <iterator>

#include "platform/text/string_printf.h"
#include "plugins/famib_core/fa_mib_oids.h"

namespace orla {

namespace {

std::string Named(std::optional<int32_t> value, const char* const* names, int32_t count) {
  if (!value) return std::string();
  if (*value >= 1 && *value <= count) return names[*value - 1];
  return StringPrintf("%d", *value);
}

std::string Number(std::optional<int32_t> value) { return value ? StringPrintf("%d", *value) : std::string(); }

// "YYYYMMDDhhmmss" as "YYYY-MM-DD hh:mm:ss"; any other text as it is.
std::string EventTime(const std::string& text) {
  if (text.size() != 14 || text.find_first_not_of("0123456789") != std::string::npos) return text;
  return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + " " + text.substr(8, 2) + ":" +
         text.substr(10, 2) + ":" + text.substr(12, 2);
}

}  // namespace

std::string FibrePage::UnitTypeName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "other", "hub", "switch", "gateway", "converter", "HBA",
                                       "proxy agent",
                                       "storage device", "host", "storage subsystem", "module", "software driver",
                                       "storage access device", "WDM", "UPS"};
  return Named(value, kNames, 16);
}

std::string FibrePage::UnitStatusName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "unused", "ok", "warning", "failed"};
  return Named(value, kNames, 5);
}

std::string FibrePage::UnitStateName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "online", "offline"};
  return Named(value, kNames, 3);
}

std::string FibrePage::PortTypeName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "other", "not present", "hub port", "N_Port", "NL_Port", "FL_Port",
                                       "F_Port", "E_Port", "G_Port", "domain controller", "hub controller", "SCSI",
                                       "ESCON", "LAN", "WAN", "AC", "DC", "SSA", "WDM", "InfiniBand", "IP storage"};
  return Named(value, kNames, 22);
}

std::string FibrePage::PortStateName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "online", "offline", "bypassed", "diagnostics"};
  return Named(value, kNames, 5);
}

std::string FibrePage::PortStatusName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "unused", "ready", "warning", "failure",
                                       "not participating", "initializing", "bypass", "OLS", "other"};
  return Named(value, kNames, 10);
}

std::string FibrePage::TransmitterName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "other", "unused", "shortwave", "longwave", "copper",
                                       "SCSI", "longwave, no OFC", "shortwave, no OFC", "longwave LED", "SSA"};
  return Named(value, kNames, 11);
}

std::string FibrePage::SeverityName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "emergency", "alert", "critical", "error",
                                       "warning", "notify", "info", "debug", "mark"};
  return Named(value, kNames, 10);
}

std::string FibrePage::EventTypeName(std::optional<int32_t> value) {
  static const char* const kNames[] = {"unknown", "other", "status", "configuration", "topology"};
  return Named(value, kNames, 5);
}

std::string FibrePage::ObjectName(const std::string& oid, const std::vector<Unit>& units, size_t ownUnit) {
  struct Table {
    const char* entry;
    const char* what;
  };
  static const Table kTables[] = {{FaMibOids::kConnUnitEntry, nullptr},
                                  {FaMibOids::kConnUnitPortEntry, "Port"},
                                  {FaMibOids::kConnUnitSensorEntry, "Sensor"}};
  const std::string dotted = !oid.empty() && oid[0] == '.' ? oid.substr(1) : oid;
  for (const Table& table : kTables) {
    const std::string entry = std::string(table.entry) + ".";
    if (dotted.compare(0, entry.size(), entry) != 0) continue;
    // column . 16 unit-id sub-identifiers [. row index]
    std::vector<uint32_t> ids;
    size_t pos = entry.size();
    while (pos < dotted.size()) {
      size_t end = dotted.find('.', pos);
      if (end == std::string::npos) end = dotted.size();
      const std::string part = dotted.substr(pos, end - pos);
      if (part.empty() || part.find_first_not_of("0123456789") != std::string::npos || part.size() > 9) return oid;
      ids.push_back(static_cast<uint32_t>(std::stoul(part)));
      pos = end + 1;
    }
    const size_t wanted = table.what == nullptr ? 17 : 18;
    if (ids.size() != wanted) return oid;
    const std::vector<uint32_t> unitId(ids.begin() + 1, ids.begin() + 17);
    size_t unitNumber = 0;
    for (size_t i = 0; i < units.size(); ++i) {
      if (units[i].id == unitId) unitNumber = i + 1;
    }
    if (table.what == nullptr) return unitNumber != 0 ? StringPrintf("Unit %zu", unitNumber) : oid;
    if (unitNumber == 0) return StringPrintf("%s %u", table.what, ids[17]);
    if (unitNumber == ownUnit && table.what[0] == 'P') return StringPrintf("Port %u", ids[17]);
    return StringPrintf("%s %u of unit %zu", table.what, ids[17], unitNumber);
  }
  return oid;
}

std::string FibrePage::Navigation(const char* current, bool hasPorts, bool hasEvents) const {
  return DevicePage::Navigation(current, {{"index.html", "Overview", true},
                                          {"status.html", "Status", true},
                                          {"ports.html", "Ports", hasPorts},
                                          {"events.html", "Events", hasEvents}});
}

std::string FibrePage::UnitTitle(const Unit& unit, size_t number) const {
  const std::string what = unit.product.empty() ? unit.wwn : unit.product;
  return StringPrintf("<DIV class=head2>Unit %zu: %s</DIV>\n", number, Escape(what).c_str());
}

std::string FibrePage::FormStart(const Unit& unit, size_t number) const {
  // addr and device come first: the pass-through removes them before it
  // forwards the form, and onAuthErr names the page a refused change returns to.
  std::string html = StringPrintf("<FORM name=unit_%zu method=POST action=\"index.html%s\">\n", number,
                                  Escape(Query()).c_str());
  html += "<INPUT type=hidden name=addr value=\"" + Escape(Machine()) + "\">";
  html += "<INPUT type=hidden name=device value=\"" + Escape(Device()) + "\">";
  html += "<INPUT type=hidden name=onAuthErr value=\"index.html\">";
  html += "<INPUT type=hidden name=unit value=\"" + FibreDeviceReader::UnitKey(unit) + "\">\n";
  return html;
}

std::string FibrePage::TextInputRow(const char* label, const char* name, size_t number, const std::string& value) {
  return StringPrintf("<TR class=light><TD class=light><B><LABEL for=%s_%zu>%s</LABEL></B></TD><TD class=light>"
                      "<INPUT type=text maxlength=79 size=40 name=%s id=%s_%zu value=\"%s\"></TD></TR>\n",
                      name, number, label, name, name, number, Escape(value).c_str());
}

std::string FibrePage::UnitStatusImage(std::optional<int32_t> status) {
  // connUnitStatus ok(3), warning(4), failed(5) as the agent's statuses.
  return StatusImage(status == 3 ? 0 : status == 4 ? 1 : status == 5 ? 2 : 3);
}

std::string FibrePage::PortStatusImage(std::optional<int32_t> status) {
  // connUnitPortStatus ready(3), warning(4), failure(5); unused(2) has none.
  if (!status || *status == 2) return std::string();
  return StatusImage(*status == 3 ? 0 : *status == 4 ? 1 : *status == 5 ? 2 : 3);
}

std::string FibrePage::UnitReason(const Unit& unit, const std::vector<Port>& ports) {
  std::string reason;
  for (const Port& p : ports) {
    if (p.status != 4 && p.status != 5) continue;
    if (!reason.empty()) reason += "; ";
    reason += StringPrintf("Port %u ", p.index);
    const std::string state = PortStateName(p.state);
    if (!state.empty()) reason += state + ", ";
    reason += PortStatusName(p.status);
  }
  if (reason.empty() && unit.state && *unit.state != 2) reason = "Unit " + UnitStateName(unit.state);
  return reason;
}

std::string FibrePage::Overview(const std::vector<Unit>& units,
                                const std::vector<std::pair<Unit, std::vector<Port>>>& troubled, bool hasPorts,
                                bool hasEvents, const std::optional<Notice>& notice) const {
  std::string html = Head("Device " + Who());
  html += Navigation("index.html", hasPorts, hasEvents);
  if (notice) {
    html += StringPrintf("<P class=%s role=status><B>%s</B></P>\n",
                         notice->error ? "webagent-error" : "webagent-notice", Escape(notice->text).c_str());
  }
  size_t number = 0;
  for (const Unit& unit : units) {
    ++number;
    html += UnitTitle(unit, number);
    if (MayChange()) html += FormStart(unit, number);
    html += "<TABLE class=light width=100% cellspacing=0>\n";
    html += Row("World Wide Name", unit.wwn);
    html += Row("Type", UnitTypeName(unit.type));
    html += Row("Product", unit.product);
    html += Row("Serial number", unit.serial);
    html += Row("Name", unit.name);
    std::string revisions;
    for (const FibreDeviceReader::Revision& r : unit.revisions) {
      if (!revisions.empty()) revisions += "<BR>";
      revisions += Escape(r.revision);
      if (!r.description.empty()) revisions += " (" + Escape(r.description) + ")";
    }
    html += "<TR class=light><TD class=light><B>Revisions</B></TD><TD class=light>" + revisions + "</TD></TR>\n";
    // In a SPAN of its own: the agent's script labels status images that
    // sit directly in a cell as element rows.
    std::string reason;
    for (const auto& [troubledUnit, ports] : troubled) {
      if (troubledUnit.id == unit.id) reason = UnitReason(unit, ports);
    }
    if (reason.empty() && (unit.status == 4 || unit.status == 5)) reason = UnitReason(unit, {});
    html += "<TR class=light><TD class=light><B>Status</B></TD><TD class=light><SPAN>" + UnitStatusImage(unit.status) +
            Escape(UnitStatusName(unit.status)) + "</SPAN>";
    if (!reason.empty()) html += ": <SPAN class=status-reason>" + Escape(reason) + "</SPAN>";
    html += "</TD></TR>\n";
    html += Row("State", UnitStateName(unit.state));
    html += Row("Ports", Number(unit.portCount));
    // Contact and location: fields with Save for a visitor who may change
    // them, text for anyone else.
    if (!MayChange()) {
      html += Row("Contact", unit.contact);
      html += Row("Location", unit.location);
      html += "</TABLE>\n";
      continue;
    }
    html += TextInputRow("Contact", "contact", number, unit.contact);
    html += TextInputRow("Location", "location", number, unit.location);
    html += "<TR class=light><TD class=light></TD><TD class=light><INPUT type=submit value=\"Save\"></TD></TR>\n";
    html += "</TABLE></FORM>\n";
  }
  return html + TrapTargetAction() + Tail();
}

std::string FibrePage::Status(const std::vector<Unit>& units, bool hasPorts, bool hasEvents) const {
  std::string html = Head("Status of " + Who());
  html += Navigation("status.html", hasPorts, hasEvents);
  html += "<TABLE class=webagent-list cellspacing=0 border=0 width=100%>\n";
  html += "<TR class=header><TD>Unit</TD><TD>World Wide Name</TD><TD>Product</TD><TD>Status</TD><TD>State</TD></TR>\n";
  size_t number = 0;
  for (const Unit& unit : units) {
    html += StringPrintf("<TR class=light><TD data-label=Unit>%zu</TD><TD data-label=\"World Wide Name\">%s</TD>"
                         "<TD data-label=Product>%s</TD><TD data-label=Status><SPAN>%s%s</SPAN></TD>"
                         "<TD data-label=State>%s</TD></TR>\n",
                         ++number, Escape(unit.wwn).c_str(), Escape(unit.product).c_str(),
                         UnitStatusImage(unit.status).c_str(), Escape(UnitStatusName(unit.status)).c_str(),
                         Escape(UnitStateName(unit.state)).c_str());
  }
  return html + "</TABLE>\n" + Tail();
}

std::string FibrePage::Ports(const std::vector<std::pair<Unit, std::vector<Port>>>& units, bool hasEvents) const {
  std::string html = Head("Ports of " + Who());
  html += Navigation("ports.html", true, hasEvents);
  size_t number = 0;
  for (const auto& [unit, ports] : units) {
    html += UnitTitle(unit, ++number);
    if (ports.empty()) {
      html += "<P>This unit reports no ports.</P>\n";
      continue;
    }
    // Each cell names its column (data-label): a narrow window shows a row
    // as a card of labelled lines.
    static const char* const kColumns[] = {"Type", "State", "Status", "Transmitter", "Speed (KB/s)",
                                           "World Wide Name", "Vendor", "Revision"};
    html += "<TABLE class=webagent-list cellspacing=0 border=0 width=100%>\n";
    html += "<TR class=header><TD>Port</TD>";
    for (const char* column : kColumns) html += StringPrintf("<TD>%s</TD>", column);
    html += "</TR>\n";
    for (const Port& p : ports) {
      html += StringPrintf("<TR class=light><TD data-label=Port>%u</TD>", p.index);
      const std::string cells[] = {PortTypeName(p.type), PortStateName(p.state), PortStatusName(p.status),
                                   TransmitterName(p.transmitter), Number(p.speed), p.wwn, p.vendor, p.revision};
      for (size_t i = 0; i < std::size(cells); ++i) {
        const std::string icon = i == 2 ? PortStatusImage(p.status) : std::string();
        html += StringPrintf("<TD data-label=\"%s\">", kColumns[i]);
        html += icon.empty() ? Escape(cells[i]) : "<SPAN>" + icon + Escape(cells[i]) + "</SPAN>";
        html += "</TD>";
      }
      html += "</TR>\n";
    }
    html += "</TABLE>\n";
  }
  return html + Tail();
}

std::string FibrePage::Events(const std::vector<std::pair<Unit, std::vector<Event>>>& units, bool hasPorts) const {
  std::string html = Head("Events of " + Who());
  html += Navigation("events.html", hasPorts, true);
  std::vector<Unit> listed;
  for (const auto& row : units) listed.push_back(row.first);
  size_t number = 0;
  for (const auto& [unit, events] : units) {
    html += UnitTitle(unit, ++number);
    if (events.empty()) {
      html += "<P>This unit reports no events.</P>\n";
      continue;
    }
    static const char* const kColumns[] = {"Id", "Time", "Severity", "Type", "Description", "Object"};
    html += "<TABLE class=webagent-list cellspacing=0 border=0 width=100%>\n";
    html += "<TR class=header>";
    for (const char* column : kColumns) html += StringPrintf("<TD>%s</TD>", column);
    html += "</TR>\n";
    for (const Event& e : events) {
      html += "<TR class=light>";
      const std::string cells[] = {Number(e.id), EventTime(e.realTime), SeverityName(e.severity),
                                   EventTypeName(e.type), e.description, ObjectName(e.object, listed, number)};
      for (size_t i = 0; i < std::size(cells); ++i) {
        html += StringPrintf("<TD data-label=\"%s\">", kColumns[i]) + Escape(cells[i]) + "</TD>";
      }
      html += "</TR>\n";
    }
    html += "</TABLE>\n";
  }
  return html + Tail();
}

}  // namespace orla
