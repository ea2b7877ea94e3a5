#pragma once
// What each fact of the plug-ins' "ReadDeviceCounters" is: its name in the
// metrics and the settings, its words in a status reason, whether it counts
// up (a counter) or is read as it is (a gauge), and whether it counts a
// port's errors. One table, so pages, metrics and checks name a kind alike.
#include <cstdint>

namespace orla {

class DeviceCounterKind {
 public:
  struct Info {
    int32_t kind;
    const char* name;   // "crc_errors": the metric's and the setting's name
    const char* words;  // "CRC errors": how a reason names it
    const char* help;   // the metric's help text
    bool counter;       // counts up (else a gauge)
    bool portError;     // a port error kind with a threshold
  };

  // The kind's entry; null for a kind this agent does not know (a newer
  // plug-in's), which is then left out.
  static const Info* Find(int32_t kind);
  // Every known kind, in a fixed order; `*count` entries.
  static const Info* All(int* count);
};

}  // namespace orla
