// The address ranges of a discovery run, as an administrator (or a script
// through the API) types them.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/devices/address_ranges.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<uint32_t> addresses;
  std::string error;
  if (orla::AddressRanges::Parse(text, &addresses, &error)) {
    // Never more than a /20, never empty.
    if (addresses.empty() || addresses.size() > orla::AddressRanges::kMaxAddresses) __builtin_trap();
  } else if (error.empty()) {
    __builtin_trap();
  }
  return 0;
}
