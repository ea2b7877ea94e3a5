#pragma once
// The one event-log entry for a process that has run out of open files.
// When the limit is reached, every element that needs a socket or a file
// fails alike; the agent says so once, naming the limit and the element
// that met it first, instead of one entry per failing element and pass.
#include <cstdint>
#include <string>

namespace orla {

class FileLimitReport {
 public:
  // Whether `osError` (a system error number) means that the open-files
  // limit is reached.
  static bool IsLimitError(uint32_t osError);
  // Writes the CRITICAL entry naming the limit and `element` (for example
  // "element tc01 (10.1.2.3)"), the first time in this process only.
  static void Reached(const std::string& element);
  // Lets the next Reached write again (tests).
  static void Reset();
};

}  // namespace orla
