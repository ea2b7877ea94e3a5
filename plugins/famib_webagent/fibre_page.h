#pragma once
// The device web agent's HTML: the overview of a device's connectivity
// units with the form that changes a unit's contact and location, the
// status summary, the ports and events pages, and the plain message pages
// (device silent, no such page, bad request).
//
// The pages look like the agent's own: they load the agent's script and
// style sheet from "/KOR/" and use its classes (header, head2, dark, light,
// dialog). They are reached through the agent's pass-through under
// "/KOR/WebAgent/", so every link and form action is relative and carries
// the device name and address ("?device=..&addr=..") that the pass-through
// turns into request header lines. Every text that comes from the device
// or the request is HTML-escaped; values in links are also URL-encoded.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "fibre_device_reader.h"

namespace orla {

class FibrePage {
 public:
  using Unit = FibreDeviceReader::Unit;
  using Port = FibreDeviceReader::Port;
  using Event = FibreDeviceReader::Event;

  // A notice shown above a page: the outcome of a change.
  struct Notice {
    std::string text;
    bool error = false;
  };

  FibrePage(std::string device, std::string machine);

  std::string Overview(const std::vector<Unit>& units, bool hasPorts, bool hasEvents,
                       const std::optional<Notice>& notice) const;
  std::string Status(const std::vector<Unit>& units, bool hasPorts, bool hasEvents) const;
  std::string Ports(const std::vector<std::pair<Unit, std::vector<Port>>>& units, bool hasEvents) const;
  std::string Events(const std::vector<std::pair<Unit, std::vector<Event>>>& units, bool hasPorts) const;
  // A page with one message (already HTML, the caller escapes what it puts
  // in) and a link back to the overview.
  std::string Message(const std::string& title, const std::string& html) const;

  static std::string Escape(const std::string& text);
  static std::string UrlEncode(const std::string& text);

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
  static std::string ObjectName(const std::string& oid, const std::vector<Unit>& units, size_t ownUnit);

 private:
  std::string Head(const std::string& title) const;
  std::string Navigation(const char* current, bool hasPorts, bool hasEvents) const;
  std::string Tail() const;
  // "?device=..&addr=.." for links, URL-encoded (not yet HTML-escaped).
  std::string Query() const;
  std::string UnitTitle(const Unit& unit, size_t number) const;
  // The start of a unit's contact and location form, with its hidden fields.
  std::string FormStart(const Unit& unit, size_t number) const;
  static std::string TextInputRow(const char* label, const char* name, size_t number, const std::string& value);
  // The agent's status image for a connUnitStatus (its script adds the text).
  static std::string StatusImage(std::optional<int32_t> status);

  std::string device_;
  std::string machine_;
};

}  // namespace orla
