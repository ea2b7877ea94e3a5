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

  // Writes the event text into `message` (`messageSize` bytes, always
  // zero-terminated) and the event data into `data` (`dataSize` bytes);
  // answers the data length.
  static int32_t Describe(const TrapMessage& trap, uint8_t* data, int32_t dataSize, char* message,
                          int32_t messageSize);

  // Texts of the MIB's enumerations.
  static const char* UnitStatusText(int32_t value);
  static const char* UnitStateText(int32_t value);
  static const char* SensorStatusText(int32_t value);
  static const char* PortStatusText(int32_t value);
  static const char* PortStateText(int32_t value);
  static const char* EventTypeText(int32_t value);

 private:
  explicit FaMibTrap(const TrapMessage& trap) : trap_(trap) {}

  // The binding whose name lies below `column` (dotted), or null.
  const SnmpBinding* Find(const char* column, std::vector<uint32_t>* suffix) const;
  bool Number(const char* column, int32_t* value, std::vector<uint32_t>* suffix) const;
  bool Text(const char* column, std::string* value, std::vector<uint32_t>* suffix) const;
  void NoteUnit(const std::vector<uint32_t>& suffix);
  std::string UnitText() const;

  const TrapMessage& trap_;
  std::vector<uint32_t> unitId_;  // first 16 sub-identifiers of a binding's suffix
};

}  // namespace orla
