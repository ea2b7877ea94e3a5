#pragma once
// How the Fibre Alliance MIB is read from a device over one SNMP session:
// GetNext steps, bounded column walks and single instances, each object's
// value kept as a number and as a text. The plug-in and the device pages
// read the device through it.
//
// Every read is a GetNext: a walk moves down one column, and one instance
// is found by a GetNext from just before it, which answers a missing object
// with the next one instead of the "no such name" a Get gets (and the
// session would log). A GetNext past the device's last object ends the
// read, as SNMPv1 answers it with "no such name". Every other SNMP failure
// (no answer, time-out, error status) passes out as the session's
// OrlaException pointer.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace orla {

class SnmpSession;

class FaMibReader {
 public:
  // One object the device answered with.
  struct Cell {
    std::vector<uint32_t> rest;  // the sub-identifiers after the prefix asked for
    bool isInteger = false;      // an INTEGER value (a status or an enumeration)
    bool isOctets = false;       // an OCTET STRING value
    std::optional<int32_t> number;  // INTEGER, Counter32, Gauge32, TimeTicks, Unsigned32
    std::string text;               // an octet string's DisplayText, an identifier's dotted form
    std::string octetsHex;          // an octet string's octets, for ids and WWNs
  };

  explicit FaMibReader(SnmpSession* session) : session_(session) {}

  // One GetNext from `from` (dotted): the object that follows. False past
  // the device's last object.
  bool Next(const std::string& from, std::vector<uint32_t>* name, Cell* cell);
  // One GetNext from `from` that answers an object of `prefix` with exactly
  // `restLength` more sub-identifiers (its `rest`); false when the answer
  // lies elsewhere or there is none.
  bool NextBelow(const std::string& from, const std::vector<uint32_t>& prefix, size_t restLength, Cell* cell);
  // The instances of `prefix` (a dotted column, with or without a part of
  // the index) that have exactly `restLength` more sub-identifiers, in
  // order, at most `limit` of them. A device that does not move forward
  // ends the walk.
  std::vector<Cell> Walk(const std::string& prefix, size_t restLength, size_t limit);
  // One instance, empty when the device lacks it.
  std::optional<Cell> Read(const std::string& oid);

  // "1.3.6.1...." of the sub-identifiers.
  static std::string Dotted(const std::vector<uint32_t>& ids);
  // A device text: the octets up to the first zero byte, without trailing
  // blanks (DisplayStrings are often padded).
  static std::string DisplayText(const uint8_t* octets, uint32_t length);
  // The text without trailing blanks.
  static std::string TrimRight(std::string text);
  // "xx:xx:xx:xx:xx:xx:xx:xx" of the first eight octets given in hex
  // (fewer when fewer are given).
  static std::string Wwn(const std::string& octetsHex);
  // Whether the first eight octets (in hex) name a WWN: present and not all
  // zeros.
  static bool HasWwn(const std::string& octetsHex);
  // The WWN a unit without a global id has: the first eight octets of its
  // id.
  static std::string UnitIdWwn(const std::vector<uint32_t>& unitId);

 private:
  SnmpSession* session_;
};

}  // namespace orla
