#pragma once
// What the device web agent reads from, and sets on, a Fibre Alliance MIB
// device over one SNMP session: every connectivity unit (connUnitTable with
// its revision rows), a unit's ports (connUnitPortTable) and its recent
// events (connUnitEventTable), and the two texts an administrator may change
// (connUnitContact, connUnitLocation).
//
// Tables are read with the Fibre Alliance reader's GetNext walks
// (FaMibReader), one column at a time, so a column the device lacks simply
// stays empty and costs no error answer. Every walk is bounded, so a device
// that answers nonsense cannot keep a request thread busy for long. SNMP
// failures (no answer, time-out, error status) pass out as the session's
// OrlaException pointers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "plugins/famib_core/fa_mib_reader.h"

namespace orla {

class SnmpSession;

class FibreDeviceReader {
 public:
  struct Revision {
    std::string revision;     // connUnitRevsRevId
    std::string description;  // connUnitRevsDescription
  };

  struct Unit {
    std::vector<uint32_t> id;  // connUnitId: 16 sub-identifiers
    std::string wwn;           // "xx:xx:..." from connUnitGlobalId, else from the id
    std::optional<int32_t> type, state, status, portCount;
    std::string name, product, serial, contact, location;
    std::vector<Revision> revisions;
  };

  struct Port {
    uint32_t index = 0;  // the table's last sub-identifier
    std::optional<int32_t> type, state, status, transmitter, speed;
    std::string wwn, vendor, revision;
  };

  struct Event {
    uint32_t index = 0;
    std::optional<int32_t> id, severity, type;
    std::string realTime, object, description;
  };

  // Bounds of the walks.
  static constexpr size_t kMaxUnits = 32;
  static constexpr size_t kMaxRevisions = 32;
  static constexpr size_t kMaxPorts = 256;
  static constexpr size_t kMaxEvents = 100;

  explicit FibreDeviceReader(SnmpSession* session) : session_(session), mib_(session) {}

  // Every unit with its columns and revisions. Empty when the device does
  // not implement the MIB.
  std::vector<Unit> Units();
  // The unit with this id (`hex`: 32 hexadecimal digits, as UnitKey gives);
  // false when the device has no such unit.
  bool FindUnit(const std::string& hex, Unit* unit);
  // Whether the device keeps a port or an event table for the unit.
  bool HasPorts(const Unit& unit);
  bool HasEvents(const Unit& unit);
  // The unit's ports in index order; its events newest first.
  std::vector<Port> Ports(const Unit& unit);
  std::vector<Event> Events(const Unit& unit);

  // connUnitContact and connUnitLocation (DisplayString (0..79)).
  void SetContact(const Unit& unit, const std::string& text);
  void SetLocation(const Unit& unit, const std::string& text);

  // The unit's id as 32 lower-case hexadecimal digits, for forms and links.
  static std::string UnitKey(const Unit& unit);

 private:
  using Cell = FaMibReader::Cell;
  void ReadUnitColumns(Unit* unit);

  SnmpSession* session_;
  FaMibReader mib_;
};

}  // namespace orla
