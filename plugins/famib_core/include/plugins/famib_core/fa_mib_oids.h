#pragma once
// The object identifiers of the Fibre Alliance MIB (fcmgmt, 1.3.6.1.3.94)
// that the plug-in, its trap texts and its device pages use, in dotted form
// without a leading dot: each table's entry and the columns read or set.
// An instance is a column followed by its index: the unit's 16-octet id
// (one sub-identifier per octet, no length), and a row number for the
// revision, sensor, port and event tables; the trap registration table is
// indexed by an IPv4 address and a port.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class FaMibOids {
 public:
  // The sub-identifiers of a connUnitId.
  static constexpr size_t kUnitIdLength = 16;

  // connUnitTable
  static constexpr char kConnUnitEntry[] = "1.3.6.1.3.94.1.6.1";
  static constexpr char kConnUnitId[] = "1.3.6.1.3.94.1.6.1.1";
  static constexpr char kConnUnitGlobalId[] = "1.3.6.1.3.94.1.6.1.2";
  static constexpr char kConnUnitType[] = "1.3.6.1.3.94.1.6.1.3";
  static constexpr char kConnUnitNumports[] = "1.3.6.1.3.94.1.6.1.4";
  static constexpr char kConnUnitState[] = "1.3.6.1.3.94.1.6.1.5";
  static constexpr char kConnUnitStatus[] = "1.3.6.1.3.94.1.6.1.6";
  static constexpr char kConnUnitProduct[] = "1.3.6.1.3.94.1.6.1.7";
  static constexpr char kConnUnitSn[] = "1.3.6.1.3.94.1.6.1.8";
  static constexpr char kConnUnitName[] = "1.3.6.1.3.94.1.6.1.20";
  static constexpr char kConnUnitContact[] = "1.3.6.1.3.94.1.6.1.23";
  static constexpr char kConnUnitLocation[] = "1.3.6.1.3.94.1.6.1.24";

  // connUnitRevsTable
  static constexpr char kConnUnitRevsRevId[] = "1.3.6.1.3.94.1.7.1.3";
  static constexpr char kConnUnitRevsDescription[] = "1.3.6.1.3.94.1.7.1.4";

  // connUnitSensorTable
  static constexpr char kConnUnitSensorEntry[] = "1.3.6.1.3.94.1.8.1";
  static constexpr char kConnUnitSensorStatus[] = "1.3.6.1.3.94.1.8.1.4";

  // connUnitPortTable
  static constexpr char kConnUnitPortEntry[] = "1.3.6.1.3.94.1.10.1";
  static constexpr char kConnUnitPortType[] = "1.3.6.1.3.94.1.10.1.3";
  static constexpr char kConnUnitPortState[] = "1.3.6.1.3.94.1.10.1.6";
  static constexpr char kConnUnitPortStatus[] = "1.3.6.1.3.94.1.10.1.7";
  static constexpr char kConnUnitPortTransmitterType[] = "1.3.6.1.3.94.1.10.1.8";
  static constexpr char kConnUnitPortWwn[] = "1.3.6.1.3.94.1.10.1.10";
  static constexpr char kConnUnitPortRevision[] = "1.3.6.1.3.94.1.10.1.13";
  static constexpr char kConnUnitPortVendor[] = "1.3.6.1.3.94.1.10.1.14";
  static constexpr char kConnUnitPortSpeed[] = "1.3.6.1.3.94.1.10.1.15";
  // connUnitPortStatTable: a column N is kConnUnitPortStatEntry + ".N",
  // instance <unit id 16>.<port index>.
  static constexpr char kConnUnitPortStatEntry[] = "1.3.6.1.3.94.4.5.1";

  // connUnitEventTable
  static constexpr char kConnUnitEventId[] = "1.3.6.1.3.94.1.11.1.3";
  static constexpr char kConnUnitREventTime[] = "1.3.6.1.3.94.1.11.1.4";
  static constexpr char kConnUnitEventSeverity[] = "1.3.6.1.3.94.1.11.1.6";
  static constexpr char kConnUnitEventType[] = "1.3.6.1.3.94.1.11.1.7";
  static constexpr char kConnUnitEventObject[] = "1.3.6.1.3.94.1.11.1.8";
  static constexpr char kConnUnitEventDescr[] = "1.3.6.1.3.94.1.11.1.9";

  // trapRegTable
  static constexpr char kTrapRegFilter[] = "1.3.6.1.3.94.2.3.1.3";
  static constexpr char kTrapRegRowState[] = "1.3.6.1.3.94.2.3.1.4";

  // "1.3.6.1....": `column` followed by the sub-identifiers of `index`.
  static std::string Instance(const char* column, const std::vector<uint32_t>& index);
};

}  // namespace orla
