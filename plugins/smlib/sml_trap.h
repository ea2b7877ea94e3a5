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

#include "sml_parts.h"

namespace orla {

class TrapMessage;
class SnmpBinding;

class SmlTrap {
 public:
  static constexpr int32_t kHeaderSize = 12;

  // Who the trap is about: the element's name and address (both empty: the
  // text starts with the trap's own subject) and its library's parts.
  struct Subject {
    std::string element;
    std::string address;
    SmlParts parts;
  };

  // Writes the event text into `message` (`messageSize` bytes, always
  // zero-terminated) and the event data into `data` (`dataSize` bytes);
  // answers the data length. The text names the element first ("lib01
  // (127.0.1.17): TapeAlert from drive 3 (serial 10450003): clean now
  // (severity major).") and its parts as the device page does; a trap the
  // plug-in does not know keeps its generic text. `severity` (when given)
  // gets the severity the trap reports (0 information, 1 warning, 2
  // critical) or stays untouched when it reports none.
  static int32_t Describe(const TrapMessage& trap, const Subject& subject, uint8_t* data, int32_t dataSize,
                          char* message, int32_t messageSize, int32_t* severity = nullptr);

  // How long a TapeAlert of warning severity or worse is held as a
  // condition of its drive or changer (the library reports no flag in a
  // poll, so the alarm stands this long unless raised again).
  static constexpr uint32_t kWarningHoldSeconds = 8 * 3600;
  static constexpr uint32_t kCriticalHoldSeconds = 24 * 3600;
  // The condition a trap raises: a TapeAlert flag of a drive or changer
  // ("drive:3:tapealert:20", "changer:1:tapealert:5") and how long it is
  // held; false for every other trap (status changes, parts added and
  // removed: the next poll shows them) and for information.
  static bool Condition(const TrapMessage& trap, std::string* part, uint32_t* holdSeconds);

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
