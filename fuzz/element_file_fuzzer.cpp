// KORAgent.db: the element file, read line by line at start-up. No device
// types are installed here, so every line's add ends in recognition; the
// target exercises reading and splitting the lines.
#include <cstddef>
#include <cstdint>
#include <string>

#include "agent/devices/element_registry.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
  const std::string path = folder.Write("KORAgent.db", data, size);
  orla::ElementRegistry registry(path, 300);
  registry.LoadElements();
  registry.ListElements(false);
  return 0;
}
