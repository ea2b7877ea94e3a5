#pragma once
// The agent's event log: entries under the source "KORAgent", with the text
// behind a severity prefix, optionally carrying raw data. Every entry written
// is also appended to the process's EventRing (see event_ring.h) with the
// same time stamp, and with its origin when the writer names one.
#include <cstddef>
#include <cstdint>
#include <string>

#include "agent/core/event_ring.h"

namespace orla {

class EventLog {
 public:
  enum Severity { kInfo = 0, kWarning = 1, kCritical = 2 };

  static constexpr uint32_t kEventIdPlain = 0x80000005u;
  static constexpr uint32_t kEventIdWithData = 0x40000004u;

  // Writes `text` behind "INFO: ", "WARNING: " or "CRITICAL: ". A severity
  // other than 0, 1 or 2 writes nothing. Failures go to standard output only.
  static void Write(int severity, const std::string& text);
  static void Write(int severity, const std::string& text, const void* data, size_t dataSize);
  // The same, naming where the entry came from (a trap, an element's status).
  static void Write(int severity, const std::string& text, const void* data, size_t dataSize,
                    const EventOrigin& origin);

  // "Error = %d, " followed by the system's message for `error` and a line
  // break, so that a message appended to it starts a new line.
  static std::string SystemErrorText(int error);
};

}  // namespace orla
