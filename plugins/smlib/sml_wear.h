#pragma once
// The wear facts of a tape library for the agent's optional
// "ReadDeviceCounters": per drive its mount count, power-on hours (since
// the last power cycle and in its life) and whether it needs cleaning; per
// FC port its operational status; the storage slots, those holding a
// cartridge, and the cleaning cartridges in the library. The MIB has no
// error counters for the ports and no count of cleaning uses left in a
// cartridge: those are not read.
#include <cstdint>

#include "agent/devices/plugin/device_plugin.h"

namespace orla {

class SmlLibrary;

class SmlWear {
 public:
  // Writes at most `capacity` samples; answers how many. A library that
  // does not answer lets its failure pass out.
  static int32_t Read(SmlLibrary& library, KorDeviceSample* samples, int32_t capacity);
};

}  // namespace orla
