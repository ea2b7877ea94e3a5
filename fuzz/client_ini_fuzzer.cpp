// client.ini: the trap destination list.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "agent/core/object_list.h"
#include "agent/traps/trap_destination_list.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
  folder.Write("client.ini", data, size);
  orla::TrapDestinationList list(folder.Path());
  list.Load();
  std::unique_ptr<orla::ObjectList> copy(list.Copy());
  return 0;
}
