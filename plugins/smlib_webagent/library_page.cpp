#include "library_page.h"

#include <initializer_list>
#include <vector>

#include "plugins/smlib/sml_values.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

using Reader = LibraryDeviceReader;

using Cells = std::vector<std::string>;

// A list table as every device page has (class webagent-list): a header row
// of `columns`, then one row per entry of `rows` (cells already HTML). Each
// cell names its column (data-label), so a narrow window shows a row as a
// card of labelled lines instead of a table wider than the window. The
// frame around it lets a wide table scroll on its own between a phone's
// width and a wide window's.
std::string ListTable(std::initializer_list<const char*> columns, const std::vector<Cells>& rows) {
  const std::vector<const char*> names(columns);
  std::string html = "<DIV class=webagent-table><TABLE class=webagent-list cellspacing=0 border=0 width=100%>\n"
                     "<TR class=header>";
  for (const char* column : names) html += StringPrintf("<TD>%s</TD>", column);
  html += "</TR>\n";
  for (const Cells& row : rows) {
    html += "<TR class=light>";
    for (size_t i = 0; i < row.size(); ++i) {
      html += StringPrintf("<TD data-label=\"%s\">", i < names.size() ? names[i] : "") + row[i] + "</TD>";
    }
    html += "</TR>\n";
  }
  return html + "</TABLE></DIV>\n";
}

std::string Text(const std::string& text) { return DevicePage::Escape(text); }

std::string Count(const std::optional<uint64_t>& value) {
  return value ? StringPrintf("%llu", static_cast<unsigned long long>(*value)) : std::string();
}

std::string Enumerated(int32_t value, std::initializer_list<std::pair<int32_t, const char*>> names) {
  if (value == -1) return "";
  for (const auto& [number, name] : names) {
    if (number == value) return name;
  }
  return StringPrintf("%d", value);
}

// The agent's status (0 ok, 1 degraded, 2 failed, 3 unknown) of a roll-up class.
int AgentStatusOf(SmlValues::Class c) {
  return c == SmlValues::kOk ? 0 : c == SmlValues::kWarn ? 1 : c == SmlValues::kFail ? 2 : 3;
}

std::string Section(const char* title) { return StringPrintf("<DIV class=head2>%s</DIV>\n", title); }

}  // namespace

std::string LibraryPage::DriveTypeText(int32_t value) {
  return Enumerated(value, {{0, "unknown"}, {1, "WORM drive"}, {2, "magneto-optical drive"}, {3, "tape drive"},
                            {4, "DVD drive"}, {5, "CD-ROM drive"}});
}

std::string LibraryPage::PackageTypeText(int32_t value) {
  return Enumerated(value, {{0, "unknown"}, {17, "main system chassis"}, {18, "expansion chassis"},
                            {19, "sub-chassis"}, {32769, "service bay"}});
}

std::string LibraryPage::LocationTypeText(int32_t value) {
  return Enumerated(value, {{0, "unknown"}, {1, "other"}, {2, "slot"}, {3, "magazine"}, {4, "drive"},
                            {5, "inter-library port"}, {6, "import/export slot"}, {7, "door"}, {8, "shelf"},
                            {9, "vault"}});
}

std::string LibraryPage::TriStateText(int32_t value) { return Enumerated(value, {{0, "unknown"}, {1, "yes"}, {2, "no"}}); }

std::string LibraryPage::SecurityText(int32_t value) {
  return Enumerated(value, {{1, "unknown"}, {2, "other"}, {3, "no breach"}, {4, "breach attempted"},
                            {5, "breach successful"}});
}

std::string LibraryPage::OperationalCell(int32_t value) {
  if (value == -1) return "";
  // In a SPAN of its own: the agent's script labels status images that
  // sit directly in a cell as element rows.
  return "<SPAN>" + StatusImage(AgentStatusOf(SmlValues::OperationalClass(value))) +
         Text(SmlValues::OperationalText(value)) + "</SPAN>";
}

std::string LibraryPage::AvailabilityCell(int32_t value) {
  if (value == -1) return "";
  return "<SPAN>" + StatusImage(AgentStatusOf(SmlValues::AvailabilityClass(value))) +
         Text(SmlValues::AvailabilityText(value)) + "</SPAN>";
}

std::string LibraryPage::LibrarySection(const Library& lib) const {
  static const char* const kStatus[] = {"ok", "degraded", "failed", "unknown"};
  const int status = lib.status >= 0 && lib.status <= 3 ? lib.status : 3;
  std::string html = Section("Library");
  html += "<TABLE class=light width=100% cellspacing=0>\n";
  std::string statusHtml = "<SPAN>" + StatusImage(status) + kStatus[status] + "</SPAN>";
  if (!lib.reason.empty()) statusHtml += ": <SPAN class=status-reason>" + Text(lib.reason) + "</SPAN>";
  html += "<TR class=light><TD class=light width=30%><B>Status</B></TD><TD class=light>" + statusHtml + "</TD></TR>\n";
  html += Row("Name", lib.name);
  html += Row("Vendor", lib.vendor);
  html += Row("Product", lib.product);
  html += Row("Version", lib.version);
  html += Row("Serial number", lib.serial);
  html += Row("Model", lib.model);
  html += Row("Chassis serial number", lib.chassisSerial);
  html += Row("System", lib.system);
  html += "<TR class=light><TD class=light><B>System status</B></TD><TD class=light>" +
          OperationalCell(lib.systemStatus) + "</TD></TR>\n";
  html += Row("Traps", Enumerated(lib.trapsEnabled, {{1, "enabled"}, {2, "disabled"}}));
  std::string destinations;
  for (const Reader::TrapDestination& d : lib.trapDestinations) {
    if (!destinations.empty()) destinations += ", ";
    destinations += d.port >= 0 ? StringPrintf("%s:%d", d.host.c_str(), d.port) : d.host;
  }
  html += Row("Trap destinations", destinations.empty() ? "none" : destinations);
  html += Row("MIB version", lib.mibVersion);
  html += "</TABLE>\n";
  html += TrapTargetAction();
  if (!lib.frames.empty()) {
    html += Section("Frames");
    std::vector<Cells> rows;
    for (const Reader::Frame& f : lib.frames) {
      rows.push_back({StringPrintf("%u", f.index), Text(f.name), Text(f.model), Text(f.serial),
                      Text(PackageTypeText(f.packageType)), OperationalCell(f.status), Text(TriStateText(f.locked)),
                      Text(SecurityText(f.breach))});
    }
    html += ListTable({"Frame", "Name", "Model", "Serial number", "Type", "Status", "Locked", "Security"}, rows);
  }
  return html;
}

std::string LibraryPage::DriveSection(const Library& lib) {
  std::string html = Section("Drives");
  if (lib.drives.empty()) return html + "<P>The library reports no drives.</P>\n";
  std::vector<Cells> rows;
  for (const Reader::Drive& d : lib.drives) {
    std::string hours = Count(d.powerOnHours);
    if (d.totalPowerOnHours) hours += (hours.empty() ? "" : " / ") + Count(d.totalPowerOnHours) + " total";
    std::string ports;
    for (const std::string& port : d.ports) ports += (ports.empty() ? "" : "<BR>") + Text(port);
    const std::string cleaning = d.needsCleaning == 1 ? "<SPAN>" + StatusImage(1) + "yes</SPAN>"
                                                      : Text(TriStateText(d.needsCleaning));
    rows.push_back({StringPrintf("%u", d.index), Text(d.name), Text(DriveTypeText(d.type)), OperationalCell(d.status),
                    AvailabilityCell(d.availability), cleaning, Text(Count(d.mounts)), Text(hours), Text(d.firmware),
                    Text(d.serial), ports});
  }
  return html + ListTable({"Drive", "Name", "Type", "Status", "Availability", "Needs cleaning", "Mounts",
                           "Power-on hours", "Firmware", "Serial number", "FC port"},
                          rows);
}

std::string LibraryPage::ChangerSection(const Library& lib) {
  if (lib.changers.empty()) return std::string();
  std::vector<Cells> rows;
  for (const Reader::Changer& c : lib.changers) {
    rows.push_back({StringPrintf("%u", c.index), Text(c.name), Text(c.description), OperationalCell(c.status),
                    AvailabilityCell(c.availability), Text(Enumerated(c.mediaFlip, {{1, "yes"}, {2, "no"}}))});
  }
  return Section("Changers") +
         ListTable({"Changer", "Name", "Description", "Status", "Availability", "Media flip"}, rows);
}

std::string LibraryPage::SlotSection(const Library& lib) {
  std::string html = Section("Slots");
  if (lib.slots.empty()) return html + "<P>The library reports no storage locations.</P>\n";
  std::vector<Cells> rows;
  for (const Reader::Slots& s : lib.slots) {
    rows.push_back({Text(LocationTypeText(s.type)), StringPrintf("%zu", s.total), StringPrintf("%zu", s.occupied),
                    StringPrintf("%zu", s.total - s.occupied),
                    s.total == 0 ? std::string() : StringPrintf("%zu %%", s.occupied * 100 / s.total)});
  }
  html += ListTable({"Type", "Total", "Occupied", "Free", "Used"}, rows);
  if (lib.mediaCount >= 0) html += StringPrintf("<P>Media in the library: %d.</P>\n", lib.mediaCount);
  if (lib.cleaners.empty()) {
    html += "<P class=webagent-error><B>No cleaning cartridge is left in the library.</B></P>\n";
  } else {
    html += StringPrintf("<P>Cleaning cartridges: %zu</P>\n", lib.cleaners.size());
    rows.clear();
    for (const Reader::Cleaner& c : lib.cleaners) {
      rows.push_back({Text(c.label), Text(StringPrintf("%s %u", LocationTypeText(c.type).c_str(), c.location))});
    }
    html += ListTable({"Label", "Location"}, rows);
  }
  return html;
}

std::string LibraryPage::PortSections(const Library& lib) {
  std::string html;
  if (!lib.iePorts.empty()) {
    std::vector<Cells> rows;
    for (const Reader::IePort& p : lib.iePorts) {
      rows.push_back({StringPrintf("%u", p.index), Text(p.name), Text(Enumerated(p.extended, {{1, "open"}, {2, "closed"}})),
                      p.present ? Text(p.label.empty() ? "unlabelled cartridge" : p.label) : "empty"});
    }
    html += Section("Import/export ports") + ListTable({"Port", "Name", "State", "Cartridge"}, rows);
  }
  if (!lib.fcPorts.empty()) {
    std::vector<Cells> rows;
    for (const Reader::FcPort& p : lib.fcPorts) {
      rows.push_back({StringPrintf("%u", p.index), Text(p.name), Text(p.wwpn), OperationalCell(p.status),
                      Text(p.behind)});
    }
    html += Section("FC ports") + ListTable({"Port", "Name", "WWPN", "Status", "Serves"}, rows);
  }
  return html;
}

std::string LibraryPage::Overview(const Library& library) const {
  std::string html = Head("Library " + Who()) + "<DIV class=library-page>\n";
  html += LibrarySection(library);
  html += DriveSection(library);
  html += ChangerSection(library);
  html += SlotSection(library);
  html += PortSections(library);
  return html + "</DIV>\n" + Tail();
}

}  // namespace orla
