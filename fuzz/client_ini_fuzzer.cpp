// client.ini: the trap destination list, read once at start-up. The target
// runs Load alone: copying the list is no parsing, and its walk by position
// costs time in the square of the entries on long inputs.
#include <cstddef>
#include <cstdint>

#include "agent/traps/trap_destination_list.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
  folder.Write("client.ini", data, size);
  orla::TrapDestinationList list(folder.Path());
  list.Load();
  return 0;
}
