#include "fibre_device_reader.h"

#include <algorithm>
#include <map>

#include "agent/snmp/snmp_session.h"
#include "plugins/famib_core/fa_mib_oids.h"
#include "platform/text/string_printf.h"

namespace orla {

using Oids = FaMibOids;

void FibreDeviceReader::ReadUnitColumns(Unit* unit) {
  auto number = [&](const char* column) -> std::optional<int32_t> {
    std::optional<Cell> cell = mib_.Read(Oids::Instance(column, unit->id));
    return cell ? cell->number : std::nullopt;
  };
  auto text = [&](const char* column) -> std::string {
    std::optional<Cell> cell = mib_.Read(Oids::Instance(column, unit->id));
    return cell ? cell->text : std::string();
  };
  std::optional<Cell> global = mib_.Read(Oids::Instance(Oids::kConnUnitGlobalId, unit->id));
  // A unit without a global id has its WWN in the first octets of its id.
  unit->wwn = global && FaMibReader::HasWwn(global->octetsHex) ? FaMibReader::Wwn(global->octetsHex)
                                                                : FaMibReader::UnitIdWwn(unit->id);
  unit->type = number(Oids::kConnUnitType);
  unit->portCount = number(Oids::kConnUnitNumports);
  unit->state = number(Oids::kConnUnitState);
  unit->status = number(Oids::kConnUnitStatus);
  unit->product = text(Oids::kConnUnitProduct);
  unit->serial = text(Oids::kConnUnitSn);
  unit->name = text(Oids::kConnUnitName);
  unit->contact = text(Oids::kConnUnitContact);
  unit->location = text(Oids::kConnUnitLocation);

  std::map<uint32_t, Revision> revisions;
  for (Cell& cell : mib_.Walk(Oids::Instance(Oids::kConnUnitRevsRevId, unit->id), 1, kMaxRevisions)) {
    revisions[cell.rest[0]].revision = cell.text;
  }
  for (Cell& cell : mib_.Walk(Oids::Instance(Oids::kConnUnitRevsDescription, unit->id), 1, kMaxRevisions)) {
    auto row = revisions.find(cell.rest[0]);
    if (row != revisions.end()) row->second.description = cell.text;
  }
  for (auto& [index, revision] : revisions) unit->revisions.push_back(std::move(revision));
}

std::vector<FibreDeviceReader::Unit> FibreDeviceReader::Units() {
  std::vector<Unit> units;
  for (Cell& cell : mib_.Walk(Oids::kConnUnitId, Oids::kUnitIdLength, kMaxUnits)) {
    Unit unit;
    unit.id = std::move(cell.rest);
    ReadUnitColumns(&unit);
    units.push_back(std::move(unit));
  }
  return units;
}

bool FibreDeviceReader::FindUnit(const std::string& hex, Unit* unit) {
  if (hex.size() != 2 * Oids::kUnitIdLength || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) {
    return false;
  }
  Unit found;
  for (size_t i = 0; i < Oids::kUnitIdLength; ++i) {
    found.id.push_back(static_cast<uint32_t>(std::stoul(hex.substr(2 * i, 2), nullptr, 16)));
  }
  if (!mib_.Read(Oids::Instance(Oids::kConnUnitId, found.id))) return false;
  ReadUnitColumns(&found);
  *unit = std::move(found);
  return true;
}

bool FibreDeviceReader::HasPorts(const Unit& unit) {
  return !mib_.Walk(Oids::Instance(Oids::kConnUnitPortStatus, unit.id), 1, 1).empty() ||
         !mib_.Walk(Oids::Instance(Oids::kConnUnitPortType, unit.id), 1, 1).empty();
}

bool FibreDeviceReader::HasEvents(const Unit& unit) {
  return !mib_.Walk(Oids::Instance(Oids::kConnUnitEventDescr, unit.id), 1, 1).empty() ||
         !mib_.Walk(Oids::Instance(Oids::kConnUnitEventId, unit.id), 1, 1).empty();
}

std::vector<FibreDeviceReader::Port> FibreDeviceReader::Ports(const Unit& unit) {
  std::map<uint32_t, Port> rows;
  auto walk = [&](const char* column, auto store) {
    for (Cell& cell : mib_.Walk(Oids::Instance(column, unit.id), 1, kMaxPorts)) {
      Port& port = rows[cell.rest[0]];
      port.index = cell.rest[0];
      store(port, cell);
    }
  };
  walk(Oids::kConnUnitPortType, [](Port& p, Cell& c) { p.type = c.number; });
  walk(Oids::kConnUnitPortState, [](Port& p, Cell& c) { p.state = c.number; });
  walk(Oids::kConnUnitPortStatus, [](Port& p, Cell& c) { p.status = c.number; });
  walk(Oids::kConnUnitPortTransmitterType, [](Port& p, Cell& c) { p.transmitter = c.number; });
  walk(Oids::kConnUnitPortWwn, [](Port& p, Cell& c) {
    if (FaMibReader::HasWwn(c.octetsHex)) p.wwn = FaMibReader::Wwn(c.octetsHex);
  });
  walk(Oids::kConnUnitPortRevision, [](Port& p, Cell& c) { p.revision = c.text; });
  walk(Oids::kConnUnitPortVendor, [](Port& p, Cell& c) { p.vendor = c.text; });
  walk(Oids::kConnUnitPortSpeed, [](Port& p, Cell& c) { p.speed = c.number; });
  std::vector<Port> ports;
  for (auto& [index, port] : rows) {
    if (ports.size() == kMaxPorts) break;
    ports.push_back(std::move(port));
  }
  return ports;
}

std::vector<FibreDeviceReader::Event> FibreDeviceReader::Events(const Unit& unit) {
  std::map<uint32_t, Event> rows;
  auto walk = [&](const char* column, auto store) {
    for (Cell& cell : mib_.Walk(Oids::Instance(column, unit.id), 1, kMaxEvents)) {
      Event& event = rows[cell.rest[0]];
      event.index = cell.rest[0];
      store(event, cell);
    }
  };
  walk(Oids::kConnUnitEventId, [](Event& e, Cell& c) { e.id = c.number; });
  walk(Oids::kConnUnitREventTime, [](Event& e, Cell& c) { e.realTime = c.text; });
  walk(Oids::kConnUnitEventSeverity, [](Event& e, Cell& c) { e.severity = c.number; });
  walk(Oids::kConnUnitEventType, [](Event& e, Cell& c) { e.type = c.number; });
  walk(Oids::kConnUnitEventObject, [](Event& e, Cell& c) { e.object = c.text; });
  walk(Oids::kConnUnitEventDescr, [](Event& e, Cell& c) { e.description = c.text; });
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
  session_->SetString(Oids::Instance(Oids::kConnUnitContact, unit.id).c_str(), text.c_str());
}

void FibreDeviceReader::SetLocation(const Unit& unit, const std::string& text) {
  session_->SetString(Oids::Instance(Oids::kConnUnitLocation, unit.id).c_str(), text.c_str());
}

std::string FibreDeviceReader::UnitKey(const Unit& unit) {
  std::string hex;
  for (uint32_t id : unit.id) hex += StringPrintf("%02x", id & 0xffu);
  return hex;
}

}  // namespace orla
