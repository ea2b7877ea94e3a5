// install.dat: a component's description, read by setup.
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_file.h"
#include "setup/component.h"
#include "setup/component_catalogue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = orla::fuzz::FuzzFolder::Get().Write("install.dat", data, size);
  orla::Component component;
  orla::ComponentCatalogue::ReadDescription(component, path);
  return 0;
}
