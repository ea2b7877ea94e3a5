// The storage media library plug-in's readers of device values: 64-bit
// counters in either encoding, date-times and padded names, on any bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "plugins/smlib/sml_values.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint64_t number = 0;
  orla::SmlValues::ParseUint64(data, size, &number);
  orla::SmlValues::DateTime time;
  orla::SmlValues::ParseDateTime(data, size, &time);
  const std::string text = orla::SmlValues::DateTimeText(data, size);
  const std::string name = orla::SmlValues::CollapseBlanks(data, size);
  // A collapsed name never starts or ends with a blank, nor holds two.
  if (!name.empty() && (name.front() == ' ' || name.back() == ' ' || name.find("  ") != std::string::npos)) {
    __builtin_trap();
  }
  return 0;
}
