#pragma once
// What the device web agent reads from, and sets on, a Fibre Alliance MIB
// device over one SNMP session: every connectivity unit (connUnitTable with
// its revision rows), a unit's ports (connUnitPortTable) and its recent
// events (connUnitEventTable), and the two texts an administrator may change
// (connUnitContact, connUnitLocation).
//
// Tables are read with GetNext walks, one column at a time, so a column the
// device lacks simply stays empty and costs no error answer. Every walk is
// bounded, so a device that answers nonsense cannot keep a request thread
// busy for long. SNMP failures (no answer, time-out, error status) pass out
// as the session's OrlaException pointers.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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

  explicit FibreDeviceReader(SnmpSession* session) : session_(session) {}

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
  // One instance found by a column walk: the sub-identifiers after the
  // column and unit prefix, and the value as text and as number.
  struct Cell {
    std::vector<uint32_t> rest;
    std::string text;
    std::optional<int32_t> number;
    std::string octetsHex;  // raw octets of a string value, for ids and WWNs
  };
  // One GetNext from `from`: the next object's name and value. False past
  // the device's last object.
  bool Next(const std::string& from, std::vector<uint32_t>* name, Cell* cell);
  // GetNext walk of `prefix` (a dotted identifier), keeping instances with
  // exactly `restLength` more sub-identifiers, at most `limit` of them.
  std::vector<Cell> Walk(const std::string& prefix, size_t restLength, size_t limit);
  // Reads one instance, empty when the device lacks it.
  std::optional<Cell> Read(const std::string& oid);
  void ReadUnitColumns(Unit* unit);

  SnmpSession* session_;
};

}  // namespace orla
