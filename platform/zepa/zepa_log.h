#pragma once
// Where the web server library's own messages go: to a callback the program
// installed, otherwise to the event log under the source "KORAgent" (INFO,
// WARNING, CRITICAL as in the agent's own entries).
#include <string>

#include "platform/zepa/zepa.h"

namespace orla {

class ZepaLog {
 public:
  enum Severity { kInfo = 0, kWarning = 1, kCritical = 2 };

  static void SetCallback(PFN_ZEPA_LOG callback);
  static void Write(int severity, const std::string& text);
};

}  // namespace orla
