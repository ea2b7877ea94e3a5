#pragma once
// The device web agent's HTML: the overview of a device's connectivity
// units with the form that changes a unit's contact and location (for a
// visitor who may change things; anyone else reads them as text), the
// status summary, the ports and events pages, and the plain message pages
// (device silent, no such page, bad request).
//
// The frame, rows and message pages are every device page's (DevicePage);
// the change form's action is relative like every link, so a change stays
// under "/KOR/WebAgent/". Every text that comes from the device or the
// request is HTML-escaped; values in links are also URL-encoded.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fibre_device_reader.h"
#include "plugins/webagent_kit/device_page.h"

namespace orla {

class FibrePage : public DevicePage {
 public:
  using Unit = FibreDeviceReader::Unit;
  using Port = FibreDeviceReader::Port;
  using Event = FibreDeviceReader::Event;

  // A notice shown above a page: the outcome of a change.
  struct Notice {
    std::string text;
    bool error = false;
  };

  using DevicePage::DevicePage;

  // `troubled`: the ports of the units in warning or failure, read for the
  // reason shown beside their status.
  std::string Overview(const std::vector<Unit>& units,
                       const std::vector<std::pair<Unit, std::vector<Port>>>& troubled, bool hasPorts,
                       bool hasEvents, const std::optional<Notice>& notice) const;
  std::string Status(const std::vector<Unit>& units, bool hasPorts, bool hasEvents) const;
  std::string Ports(const std::vector<std::pair<Unit, std::vector<Port>>>& units, bool hasEvents) const;
  std::string Events(const std::vector<std::pair<Unit, std::vector<Event>>>& units, bool hasPorts) const;
  // The MIB's enumerations as words; "" for none, the number for a value
  // the MIB does not name.
  static std::string UnitTypeName(std::optional<int32_t> value);
  static std::string UnitStatusName(std::optional<int32_t> value);
  static std::string UnitStateName(std::optional<int32_t> value);
  static std::string PortTypeName(std::optional<int32_t> value);
  static std::string PortStateName(std::optional<int32_t> value);
  static std::string PortStatusName(std::optional<int32_t> value);
  static std::string TransmitterName(std::optional<int32_t> value);
  static std::string SeverityName(std::optional<int32_t> value);
  static std::string EventTypeName(std::optional<int32_t> value);
  // An event's connUnitEventObject as what it names: "Unit 2" for an object
  // of the connectivity unit table, "Port 3" (of the event's own unit) or
  // "Port 3 of unit 2" for the port table, "Sensor 1 of unit 2" for the
  // sensor table; units are numbered as the pages list them (`units`).
  // Any other identifier is shown as it stands.
  // Why a unit is not ok, in words: its ports in warning or failure
  // ("Port 4 offline, failure"), else a state other than online; "" when
  // nothing names it.
  static std::string UnitReason(const Unit& unit, const std::vector<Port>& ports);
  static std::string ObjectName(const std::string& oid, const std::vector<Unit>& units, size_t ownUnit);

 private:
  std::string Navigation(const char* current, bool hasPorts, bool hasEvents) const;
  std::string UnitTitle(const Unit& unit, size_t number) const;
  // The start of a unit's contact and location form, with its hidden fields.
  std::string FormStart(const Unit& unit, size_t number) const;
  static std::string TextInputRow(const char* label, const char* name, size_t number, const std::string& value);
  // The agent's status image for a connUnitStatus (its script adds the text).
  static std::string UnitStatusImage(std::optional<int32_t> status);
  // The same for a port's connUnitPortStatus: none for an unused port.
  static std::string PortStatusImage(std::optional<int32_t> status);
};

}  // namespace orla
