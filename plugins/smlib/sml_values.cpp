#include "plugins/smlib/sml_values.h"

#include <cctype>
#include <cstring>

#include "platform/text/string_printf.h"

namespace orla {

namespace {

bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// Field [at, at+width) of a date-time: -1 when all '*', false when mixed.
bool Field(const uint8_t* p, size_t at, size_t width, int* value) {
  bool stars = true;
  bool digits = true;
  int n = 0;
  for (size_t i = at; i < at + width; ++i) {
    stars = stars && p[i] == '*';
    digits = digits && IsDigit(p[i]);
    if (IsDigit(p[i])) n = n * 10 + (p[i] - '0');
  }
  if (stars) {
    *value = -1;
    return true;
  }
  if (!digits) return false;
  *value = n;
  return true;
}

bool InRange(int value, int low, int high) { return value == -1 || (value >= low && value <= high); }

std::string Named(const char* const* names, size_t count, int32_t value) {
  if (value >= 0 && static_cast<size_t>(value) < count && names[value] != nullptr) return names[value];
  return StringPrintf("value %d", value);
}

}  // namespace

bool SmlValues::ParseUint64(const uint8_t* bytes, size_t length, uint64_t* value) {
  if (bytes == nullptr) return false;
  bool allDigits = length > 0;
  for (size_t i = 0; i < length; ++i) allDigits = allDigits && IsDigit(bytes[i]);
  if (length == 8 && !allDigits) {
    uint64_t n = 0;
    for (size_t i = 0; i < 8; ++i) n = (n << 8) | bytes[i];
    *value = n;
    return true;
  }
  size_t begin = 0;
  size_t end = length;
  if (end > 0 && bytes[end - 1] == 0) --end;
  while (begin < end && bytes[begin] == ' ') ++begin;
  while (end > begin && bytes[end - 1] == ' ') --end;
  if (begin == end) return false;
  uint64_t n = 0;
  for (size_t i = begin; i < end; ++i) {
    if (!IsDigit(bytes[i])) return false;
    const uint64_t digit = bytes[i] - '0';
    if (n > (UINT64_MAX - digit) / 10) return false;
    n = n * 10 + digit;
  }
  *value = n;
  return true;
}

bool SmlValues::ParseDateTime(const uint8_t* bytes, size_t length, DateTime* value) {
  if (bytes == nullptr || length != 24) return false;
  DateTime t;
  int micro = 0;
  int offset = 0;
  if (!Field(bytes, 0, 4, &t.year) || !Field(bytes, 4, 2, &t.month) || !Field(bytes, 6, 2, &t.day) ||
      !Field(bytes, 8, 2, &t.hour) || !Field(bytes, 10, 2, &t.minute) || !Field(bytes, 12, 2, &t.second) ||
      !Field(bytes, 14, 6, &micro) || !Field(bytes, 21, 3, &offset)) {
    return false;
  }
  if (bytes[20] != '+' && bytes[20] != '-') return false;
  if (!InRange(t.month, 1, 12) || !InRange(t.day, 1, 31) || !InRange(t.hour, 0, 23) || !InRange(t.minute, 0, 59) ||
      !InRange(t.second, 0, 60)) {
    return false;
  }
  t.offsetMinutes = offset < 0 ? 0 : (bytes[20] == '-' ? -offset : offset);
  *value = t;
  return true;
}

std::string SmlValues::DateTimeText(const uint8_t* bytes, size_t length) {
  DateTime t;
  if (!ParseDateTime(bytes, length, &t)) return "";
  auto part = [](int v, int width) { return v < 0 ? std::string(static_cast<size_t>(width), '?') : StringPrintf("%0*d", width, v); };
  return part(t.year, 4) + "-" + part(t.month, 2) + "-" + part(t.day, 2) + " " + part(t.hour, 2) + ":" +
         part(t.minute, 2) + ":" + part(t.second, 2) + StringPrintf(" UTC%+d", t.offsetMinutes);
}

std::string SmlValues::CollapseBlanks(const uint8_t* bytes, size_t length) {
  std::string text;
  if (bytes == nullptr) return text;
  bool blank = false;
  for (size_t i = 0; i < length && bytes[i] != 0; ++i) {
    const uint8_t c = bytes[i];
    if (c <= ' ' || c == 0x7f) {
      blank = !text.empty();
      continue;
    }
    if (blank) text += ' ';
    blank = false;
    text += static_cast<char>(c);
  }
  return text;
}

SmlValues::Class SmlValues::OperationalClass(int32_t value) {
  switch (value) {
    case 2: return kOk;
    case 6: case 7: case 14: case 16: return kFail;
    case 1: case 3: case 4: case 5: case 8: case 9: case 10: case 11: case 15: case 17: case 18: case 19:
      return kWarn;
    default: return kUnknown;
  }
}

SmlValues::Class SmlValues::AvailabilityClass(int32_t value) {
  switch (value) {
    case 3: case 14: case 15: return kOk;
    case 12: return kFail;
    case 2: case 6: case 13: return kUnknown;
    default: return value >= 1 && value <= 21 ? kWarn : kUnknown;
  }
}

int32_t SmlValues::AgentStatus(Class worst, bool anyRead, bool anyOk) {
  if (!anyRead) return 3;
  switch (worst) {
    case kFail: return 2;
    case kWarn: return 1;
    case kOk: return 0;
    default: return anyOk ? 1 : 3;
  }
}

std::string SmlValues::OperationalText(int32_t value) {
  static const char* const kNames[] = {"unknown", "other", "ok", "degraded", "stressed", "predictive failure",
                                       "error", "non-recoverable error", "starting", "stopping", "stopped",
                                       "in service", "no contact", "lost communication", "aborted", "dormant",
                                       "supporting entity in error", "completed", "power mode", "reserved"};
  if (value == 32768) return "vendor reserved";
  return Named(kNames, sizeof kNames / sizeof kNames[0], value);
}

std::string SmlValues::AvailabilityText(int32_t value) {
  static const char* const kNames[] = {nullptr, "other", "unknown", "running", "warning", "in test",
                                       "not applicable", "power off", "off line", "off duty", "degraded",
                                       "not installed", "install error", "power save (unknown)",
                                       "power save (low power)", "power save (standby)", "power cycle",
                                       "power save warning", "paused", "not ready", "not configured", "quiesced"};
  return Named(kNames, sizeof kNames / sizeof kNames[0], value);
}

std::string SmlValues::SeverityText(int32_t value) {
  static const char* const kNames[] = {"unknown", "other", "information", "degraded/warning", "minor", "major",
                                       "critical", "fatal/non-recoverable"};
  return Named(kNames, sizeof kNames / sizeof kNames[0], value);
}

std::string SmlValues::DriveAlertText(int32_t value) {
  static const char* const kNames[] = {
      nullptr, "read warning", "write warning", "hard error", "media", "read failure", "write failure",
      "media life", "not data grade", "write protect", "no removal", "cleaning media", "unsupported format",
      "recoverable snapped tape", "unrecoverable snapped tape", "memory chip in cartridge failure",
      "forced eject", "read only format", "directory corrupted on load", "nearing media life", "clean now",
      "clean periodic", "expired cleaning media", "invalid cleaning media", "retention requested",
      "dual port interface error", "cooling fan error", "power supply failure", "power consumption",
      "drive maintenance", "hardware A", "hardware B", "interface", "eject media", "download failure",
      "drive humidity", "drive temperature", "drive voltage", "predictive failure", "diagnostics required",
      nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
      "lost statistics", "media directory invalid at unload", "media system area write failure",
      "media system area read failure", "no start of data", "loading failure", "unrecoverable unload failure",
      "automation interface failure", "firmware failure", "WORM medium integrity check failed",
      "WORM medium overwrite attempted"};
  return Named(kNames, sizeof kNames / sizeof kNames[0], value);
}

std::string SmlValues::ChangerAlertText(int32_t value) {
  static const char* const kNames[] = {
      nullptr, "library hardware A", "library hardware B", "library hardware C", "library hardware D",
      "library diagnostics required", "library interface", "failure prediction", "library maintenance",
      "library humidity limits", "library temperature limits", "library voltage limits", "library stray media",
      "library pick retry", "library place retry", "library load retry", "library door", "library mailslot",
      "library magazine", "library security", "library security mode", "library offline", "library drive offline",
      "library scan retry", "library inventory", "library illegal operation", "dual port interface error",
      "cooling fan failure", "power supply", "power consumption", "pass-through mechanism failure",
      "cartridge in pass-through mechanism", "unreadable bar code labels"};
  return Named(kNames, sizeof kNames / sizeof kNames[0], value);
}

}  // namespace orla
