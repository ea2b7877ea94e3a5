// KORAgent.db: the element file, read line by line at start-up. The target
// runs the reading and splitting of the lines (ElementFileReader), all that
// the load does with the file's bytes before it recognises each line's
// device; recognition talks to devices and is covered by the registry's
// tests. Every line taken must give the registry a name and an address that
// are neither empty nor hold a separator, within the line limit.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "agent/devices/element_file_reader.h"
#include "fuzz/fuzz_file.h"

namespace {

bool IsPiece(const std::string& text) {
  return !text.empty() && text.size() < orla::ElementFileReader::kLineLimit &&
         text.find_first_of("|\r\n") == std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const orla::fuzz::FuzzFolder& folder = orla::fuzz::FuzzFolder::Get();
  orla::ElementFileReader reader(folder.Write("KORAgent.db", data, size));
  if (reader.Open() != 0) std::abort();
  std::vector<orla::ElementFileReader::ElementLine> lines;
  if (reader.ReadLines(&lines) != 0) std::abort();
  for (const auto& [name, address] : lines) {
    if (!IsPiece(name) || !IsPiece(address) || name.size() + address.size() >= orla::ElementFileReader::kLineLimit) {
      std::abort();
    }
  }
  return 0;
}
