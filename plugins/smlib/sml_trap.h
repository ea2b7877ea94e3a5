#pragma once
// Turns a received trap of a storage media library into the text and the
// data of its event-log entry.
//
// Event data, little-endian, 12 bytes and a text after them:
//   0  u16  specific trap number
//   2  u16  the status the trap reports, as the agent's status value (0 ok,
//           1 degraded, 2 failed, 3 unknown); FFFF when it reports none
//   4  u16  first value: the TapeAlert flag or the new OperationalStatus
//   6  u16  second value: the severity or the old OperationalStatus
//   8  u32  the drive or changer index of an alert; 0 when absent
//  12  ...  the library name, drive or changer id or medium tag the trap
//           carries, zero-terminated, cut to fit the data buffer
#include <cstdint>
#include <string>

namespace orla {

class TrapMessage;
class SnmpBinding;

class SmlTrap {
 public:
  static constexpr int32_t kHeaderSize = 12;

  // Writes the event text into `message` (`messageSize` bytes, always
  // zero-terminated) and the event data into `data` (`dataSize` bytes);
  // answers the data length.
  static int32_t Describe(const TrapMessage& trap, uint8_t* data, int32_t dataSize, char* message,
                          int32_t messageSize);

 private:
  explicit SmlTrap(const TrapMessage& trap) : trap_(trap) {}

  // The binding whose name lies below `prefix` (dotted), or null.
  const SnmpBinding* Find(const char* prefix) const;
  bool Number(const char* prefix, int32_t* value) const;
  std::string Text(const char* prefix) const;
  // "name=value, ..." of every binding, for traps the plug-in does not know.
  std::string Bindings() const;

  const TrapMessage& trap_;
};

}  // namespace orla
