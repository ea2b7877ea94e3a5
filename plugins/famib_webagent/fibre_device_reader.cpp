#include "fibre_device_reader.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <memory>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/snmp/snmp_session.h"
#include "platform/snmpmgr/snmp_api.h"
#include "platform/text/string_printf.h"

namespace orla {

namespace {

constexpr char kConnUnitEntry[] = "1.3.6.1.3.94.1.6.1";
constexpr char kRevsEntry[] = "1.3.6.1.3.94.1.7.1";
constexpr char kPortEntry[] = "1.3.6.1.3.94.1.10.1";
constexpr char kEventEntry[] = "1.3.6.1.3.94.1.11.1";
constexpr size_t kUnitIdLength = 16;

// connUnitTable columns
constexpr int kUnitId = 1, kUnitGlobalId = 2, kUnitType = 3, kUnitNumports = 4, kUnitState = 5,
              kUnitStatus = 6, kUnitProduct = 7, kUnitSn = 8, kUnitName = 20, kUnitContact = 23,
              kUnitLocation = 24;
// connUnitPortTable columns
constexpr int kPortType = 3, kPortState = 6, kPortStatus = 7, kPortTransmitter = 8, kPortWwn = 10,
              kPortRevision = 13, kPortVendor = 14, kPortSpeed = 15;
// connUnitEventTable columns
constexpr int kEventId = 3, kEventRealTime = 4, kEventSeverity = 6, kEventType = 7, kEventObject = 8,
              kEventDescr = 9;

// Frees a one-binding answer list however the reading ends.
struct Answer {
  SnmpVarBindList list{};
  ~Answer() { SnmpUtilVarBindListFree(&list); }
  const SnmpVarBind& First() const { return list.list[0]; }
};

std::vector<uint32_t> Ids(const std::string& dotted) {
  std::vector<uint32_t> ids;
  size_t pos = 0;
  while (pos < dotted.size()) {
    size_t end = dotted.find('.', pos);
    if (end == std::string::npos) end = dotted.size();
    ids.push_back(static_cast<uint32_t>(std::stoul(dotted.substr(pos, end - pos))));
    pos = end + 1;
  }
  return ids;
}

std::string Dotted(const std::vector<uint32_t>& ids) {
  std::string text;
  for (uint32_t id : ids) text += StringPrintf(text.empty() ? "%u" : ".%u", id);
  return text;
}

std::string Column(const char* entry, int column, const std::vector<uint32_t>& unitId) {
  return StringPrintf("%s.%d.", entry, column) + Dotted(unitId);
}

// A device text: the octets up to the first zero byte, without trailing
// blanks (DisplayStrings are often padded).
std::string DisplayText(const uint8_t* octets, uint32_t length) {
  std::string text(reinterpret_cast<const char*>(octets), length);
  text.resize(std::min(text.size(), text.find('\0')));
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back())) != 0) text.pop_back();
  return text;
}

std::string WwnOf(const std::string& octetsHex) {
  std::string wwn;
  for (size_t i = 0; i + 1 < octetsHex.size() && i < 16; i += 2) {
    if (!wwn.empty()) wwn += ':';
    wwn += octetsHex.substr(i, 2);
  }
  return wwn;
}

bool AllZero(const std::string& hex) { return hex.find_first_not_of('0') == std::string::npos; }

}  // namespace

bool FibreDeviceReader::Next(const std::string& from, std::vector<uint32_t>* name, Cell* cell) {
  Answer answer;
  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    session_->RequestGetNext(from.c_str(), &answer.list);
  })) {
    // SNMPv1 answers a GetNext past the device's last object with
    // "no such name".
    if (failed->Code() == kErrNotRecognized) return false;
    throw failed.release();
  }
  if (answer.list.len < 1) return false;
  const AsnObjectIdentifier& found = answer.First().name;
  name->assign(found.ids, found.ids + found.idLength);
  const AsnAny& value = answer.First().value;
  switch (value.asnType) {
    case ASN_INTEGER:
      cell->number = value.asnValue.number;
      break;
    case ASN_COUNTER32:
    case ASN_GAUGE32:
    case ASN_TIMETICKS:
    case ASN_UNSIGNED32:
      cell->number = static_cast<int32_t>(value.asnValue.unsigned32);
      break;
    case ASN_OCTETSTRING:
      if (value.asnValue.string.stream != nullptr) {
        const AsnOctetString& s = value.asnValue.string;
        cell->text = DisplayText(s.stream, s.length);
        for (uint32_t i = 0; i < s.length; ++i) cell->octetsHex += StringPrintf("%02x", s.stream[i]);
      }
      break;
    case ASN_OBJECTIDENTIFIER: {
      const AsnObjectIdentifier& o = value.asnValue.object;
      cell->text = Dotted(std::vector<uint32_t>(o.ids, o.ids + o.idLength));
      break;
    }
    default:
      break;
  }
  return true;
}

std::vector<FibreDeviceReader::Cell> FibreDeviceReader::Walk(const std::string& prefix, size_t restLength,
                                                            size_t limit) {
  const std::vector<uint32_t> base = Ids(prefix);
  std::vector<Cell> cells;
  std::vector<uint32_t> last = base;
  while (cells.size() < limit) {
    std::vector<uint32_t> name;
    Cell cell;
    if (!Next(Dotted(last), &name, &cell)) break;
    if (name.size() != base.size() + restLength || !std::equal(base.begin(), base.end(), name.begin())) break;
    if (name <= last) break;  // a device that does not move forward
    cell.rest.assign(name.begin() + static_cast<std::ptrdiff_t>(base.size()), name.end());
    last = std::move(name);
    cells.push_back(std::move(cell));
  }
  return cells;
}

std::optional<FibreDeviceReader::Cell> FibreDeviceReader::Read(const std::string& oid) {
  // A GetNext from just before the instance finds it without the "no such
  // name" answer that a Get of a missing object gets (and the session logs).
  std::vector<uint32_t> before = Ids(oid);
  const std::vector<uint32_t> wanted = before;
  if (before.back() > 0) {
    --before.back();
  } else {
    before.pop_back();
  }
  std::vector<uint32_t> name;
  Cell cell;
  if (!Next(Dotted(before), &name, &cell) || name != wanted) return std::nullopt;
  return cell;
}

void FibreDeviceReader::ReadUnitColumns(Unit* unit) {
  auto number = [&](int column) -> std::optional<int32_t> {
    std::optional<Cell> cell = Read(Column(kConnUnitEntry, column, unit->id));
    return cell ? cell->number : std::nullopt;
  };
  auto text = [&](int column) -> std::string {
    std::optional<Cell> cell = Read(Column(kConnUnitEntry, column, unit->id));
    return cell ? cell->text : std::string();
  };
  std::optional<Cell> global = Read(Column(kConnUnitEntry, kUnitGlobalId, unit->id));
  if (global && global->octetsHex.size() >= 16 && !AllZero(global->octetsHex.substr(0, 16))) {
    unit->wwn = WwnOf(global->octetsHex);
  } else {
    // A unit without a global id has its WWN in the first octets of its id.
    std::string hex;
    for (size_t i = 0; i < 8 && i < unit->id.size(); ++i) hex += StringPrintf("%02x", unit->id[i] & 0xffu);
    unit->wwn = WwnOf(hex);
  }
  unit->type = number(kUnitType);
  unit->portCount = number(kUnitNumports);
  unit->state = number(kUnitState);
  unit->status = number(kUnitStatus);
  unit->product = text(kUnitProduct);
  unit->serial = text(kUnitSn);
  unit->name = text(kUnitName);
  unit->contact = text(kUnitContact);
  unit->location = text(kUnitLocation);

  std::map<uint32_t, Revision> revisions;
  for (Cell& cell : Walk(Column(kRevsEntry, 3, unit->id), 1, kMaxRevisions)) {
    revisions[cell.rest[0]].revision = cell.text;
  }
  for (Cell& cell : Walk(Column(kRevsEntry, 4, unit->id), 1, kMaxRevisions)) {
    auto row = revisions.find(cell.rest[0]);
    if (row != revisions.end()) row->second.description = cell.text;
  }
  for (auto& [index, revision] : revisions) unit->revisions.push_back(std::move(revision));
}

std::vector<FibreDeviceReader::Unit> FibreDeviceReader::Units() {
  std::vector<Unit> units;
  for (Cell& cell : Walk(StringPrintf("%s.%d", kConnUnitEntry, kUnitId), kUnitIdLength, kMaxUnits)) {
    Unit unit;
    unit.id = std::move(cell.rest);
    ReadUnitColumns(&unit);
    units.push_back(std::move(unit));
  }
  return units;
}

bool FibreDeviceReader::FindUnit(const std::string& hex, Unit* unit) {
  if (hex.size() != 2 * kUnitIdLength || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return false;
  }
  Unit found;
  for (size_t i = 0; i < kUnitIdLength; ++i) {
    found.id.push_back(static_cast<uint32_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)));
  }
  if (!Read(Column(kConnUnitEntry, kUnitId, found.id))) return false;
  ReadUnitColumns(&found);
  *unit = std::move(found);
  return true;
}

bool FibreDeviceReader::HasPorts(const Unit& unit) {
  return !Walk(Column(kPortEntry, kPortStatus, unit.id), 1, 1).empty() ||
         !Walk(Column(kPortEntry, kPortType, unit.id), 1, 1).empty();
}

bool FibreDeviceReader::HasEvents(const Unit& unit) {
  return !Walk(Column(kEventEntry, kEventDescr, unit.id), 1, 1).empty() ||
         !Walk(Column(kEventEntry, kEventId, unit.id), 1, 1).empty();
}

std::vector<FibreDeviceReader::Port> FibreDeviceReader::Ports(const Unit& unit) {
  std::map<uint32_t, Port> rows;
  auto walk = [&](int column, auto store) {
    for (Cell& cell : Walk(Column(kPortEntry, column, unit.id), 1, kMaxPorts)) {
      Port& port = rows[cell.rest[0]];
      port.index = cell.rest[0];
      store(port, cell);
    }
  };
  walk(kPortType, [](Port& p, Cell& c) { p.type = c.number; });
  walk(kPortState, [](Port& p, Cell& c) { p.state = c.number; });
  walk(kPortStatus, [](Port& p, Cell& c) { p.status = c.number; });
  walk(kPortTransmitter, [](Port& p, Cell& c) { p.transmitter = c.number; });
  walk(kPortWwn, [](Port& p, Cell& c) {
    if (c.octetsHex.size() >= 16 && !AllZero(c.octetsHex.substr(0, 16))) p.wwn = WwnOf(c.octetsHex);
  });
  walk(kPortRevision, [](Port& p, Cell& c) { p.revision = c.text; });
  walk(kPortVendor, [](Port& p, Cell& c) { p.vendor = c.text; });
  walk(kPortSpeed, [](Port& p, Cell& c) { p.speed = c.number; });
  std::vector<Port> ports;
  for (auto& [index, port] : rows) {
    if (ports.size() == kMaxPorts) break;
    ports.push_back(std::move(port));
  }
  return ports;
}

std::vector<FibreDeviceReader::Event> FibreDeviceReader::Events(const Unit& unit) {
  std::map<uint32_t, Event> rows;
  auto walk = [&](int column, auto store) {
    for (Cell& cell : Walk(Column(kEventEntry, column, unit.id), 1, kMaxEvents)) {
      Event& event = rows[cell.rest[0]];
      event.index = cell.rest[0];
      store(event, cell);
    }
  };
  walk(kEventId, [](Event& e, Cell& c) { e.id = c.number; });
  walk(kEventRealTime, [](Event& e, Cell& c) { e.realTime = c.text; });
  walk(kEventSeverity, [](Event& e, Cell& c) { e.severity = c.number; });
  walk(kEventType, [](Event& e, Cell& c) { e.type = c.number; });
  walk(kEventObject, [](Event& e, Cell& c) { e.object = c.text; });
  walk(kEventDescr, [](Event& e, Cell& c) { e.description = c.text; });
  std::vector<Event> events;
  for (auto& [index, event] : rows) events.push_back(std::move(event));
  // Newest first: by event id where the device gives one, else by row.
  std::stable_sort(events.begin(), events.end(), [](const Event& a, const Event& b) {
    const int64_t ka = a.id ? *a.id : static_cast<int64_t>(a.index);
    const int64_t kb = b.id ? *b.id : static_cast<int64_t>(b.index);
    return ka > kb;
  });
  if (events.size() > kMaxEvents) events.resize(kMaxEvents);
  return events;
}

void FibreDeviceReader::SetContact(const Unit& unit, const std::string& text) {
  session_->SetString(Column(kConnUnitEntry, kUnitContact, unit.id).c_str(), text.c_str());
}

void FibreDeviceReader::SetLocation(const Unit& unit, const std::string& text) {
  session_->SetString(Column(kConnUnitEntry, kUnitLocation, unit.id).c_str(), text.c_str());
}

std::string FibreDeviceReader::UnitKey(const Unit& unit) {
  std::string hex;
  for (uint32_t id : unit.id) hex += StringPrintf("%02x", id & 0xffu);
  return hex;
}

}  // namespace orla
