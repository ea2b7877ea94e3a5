#pragma once
// Turns a received trap of a Fibre Alliance MIB device into the text and the
// data of its event-log entry.
//
// Event data, little-endian, 20 bytes and for connUnitEventTrap the event's
// description after them:
//   0  u16  specific trap number
//   2  u16  the status the trap reports, as the agent's status value (0 ok,
//           1 degraded, 2 failed, 3 unknown); FFFF when it reports none
//   4  u16  first value: connUnitStatus, connUnitSensorStatus,
//           connUnitPortStatus or connUnitEventType; 0 when absent
//   6  u16  second value: connUnitState or connUnitPortState; 0 when absent
//   8  u32  the sensor, port or event number; 0 when absent
//  12  8    the unit's world wide name (first eight octets of its id)
//  20  ...  connUnitEventTrap only: connUnitEventDescr, zero-terminated,
//           cut to fit the data buffer
#include <cstdint>
#include <string>
#include <vector>

namespace orla {

class TrapMessage;
class SnmpBinding;

class FaMibTrap {
 public:
  static constexpr int32_t kHeaderSize = 20;

  // Who the trap is about: the element's name and address (both empty: no
  // element in the text) and the device's unit ids in the order its last
  // poll walked them, so a unit goes by its number as on the device page.
  struct Subject {
    std::string element;
    std::string address;
    std::vector<std::vector<uint32_t>> units;
  };

  // Writes the event text into `message` (`messageSize` bytes, always
  // zero-terminated) and the event data into `data` (`dataSize` bytes);
  // answers the data length. The text names the element first ("tc01
  // (127.0.1.11): Port 4 of unit 1 changed to failure (port offline).");
  // a trap of another MIB keeps its generic text. `severity` (when given)
  // gets the severity the trap reports (0 information, 1 warning, 2
  // critical) or stays untouched when it reports none.
  static int32_t Describe(const TrapMessage& trap, const Subject& subject, uint8_t* data, int32_t dataSize,
                          char* message, int32_t messageSize, int32_t* severity = nullptr);

  // Texts of the MIB's enumerations.
  static const char* UnitStatusText(int32_t value);
  static const char* UnitStateText(int32_t value);
  static const char* SensorStatusText(int32_t value);
  static const char* PortStatusText(int32_t value);
  static const char* PortStateText(int32_t value);
  static const char* EventTypeText(int32_t value);

 private:
  FaMibTrap(const TrapMessage& trap, const Subject& subject) : trap_(trap), subject_(subject) {}

  // The binding whose name lies below `column` (dotted), or null.
  const SnmpBinding* Find(const char* column, std::vector<uint32_t>* suffix) const;
  bool Number(const char* column, int32_t* value, std::vector<uint32_t>* suffix) const;
  bool Text(const char* column, std::string* value, std::vector<uint32_t>* suffix) const;
  void NoteUnit(const std::vector<uint32_t>& suffix);
  std::string UnitText() const;

  const TrapMessage& trap_;
  const Subject& subject_;
  std::vector<uint32_t> unitId_;  // first 16 sub-identifiers of a binding's suffix
};

}  // namespace orla
