#pragma once
// The values a storage media library sends, read robustly: they come from
// the network, so every reader takes any bytes and answers false (or an
// empty text) rather than guess.
//
// - 64-bit counters come as 8 raw octets, most significant first, or as the
//   number in decimal text; both read the same number.
// - Date-times are "yyyymmddhhmmss" + 6 digits of microseconds + sign + 3
//   digits of UTC offset in minutes; unknown fields may be '*'.
// - Names are often inquiry strings padded with runs of blanks.
#include <cstddef>
#include <cstdint>
#include <string>

namespace orla {

class SmlValues {
 public:
  // The status classes of the roll-up, in order of badness for Worst.
  enum Class : int32_t { kOk = 0, kUnknown = 1, kWarn = 2, kFail = 3 };

  struct DateTime {
    int year = -1, month = -1, day = -1, hour = -1, minute = -1, second = -1;  // -1: unknown ('*')
    int offsetMinutes = 0;
  };

  // A 64-bit counter: exactly 8 octets not all digits are big-endian binary;
  // otherwise the octets must be decimal digits (surrounding blanks and a
  // trailing zero byte allowed) that fit 64 bits.
  static bool ParseUint64(const uint8_t* bytes, size_t length, uint64_t* value);
  // A 24-character date-time; false when a field is neither digits nor all
  // '*', or a known field is out of range.
  static bool ParseDateTime(const uint8_t* bytes, size_t length, DateTime* value);
  // "2024-05-25 13:30:15 UTC-300" with "?" for unknown fields; "" when it
  // does not parse.
  static std::string DateTimeText(const uint8_t* bytes, size_t length);
  // The text up to its first zero byte, control characters as blanks, runs
  // of blanks as one, no blanks at the ends.
  static std::string CollapseBlanks(const uint8_t* bytes, size_t length);
  static std::string CollapseBlanks(const std::string& text) {
    return CollapseBlanks(reinterpret_cast<const uint8_t*>(text.data()), text.size());
  }

  // The roll-up classes of the MIB's OperationalStatus and Availability.
  static Class OperationalClass(int32_t value);
  static Class AvailabilityClass(int32_t value);
  static Class Worst(Class a, Class b) { return a > b ? a : b; }
  // The agent's status (0 ok, 1 degraded, 2 failed, 3 unknown) of the worst
  // class read: unknown components beside known good ones degrade; unknown
  // only when nothing, or nothing but unknown, was read.
  static int32_t AgentStatus(Class worst, bool anyRead, bool anyOk);

  // Texts of the enumerations ("ok", "error", ...); "value N" outside them.
  static std::string OperationalText(int32_t value);
  static std::string AvailabilityText(int32_t value);
  static std::string SeverityText(int32_t value);
  static std::string DriveAlertText(int32_t value);
  static std::string ChangerAlertText(int32_t value);
};

}  // namespace orla
