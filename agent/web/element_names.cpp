#include "element_names.h"

namespace orla {

bool ElementNames::HasForbidden(const std::string& name) {
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7f) return true;
  }
  return name.find_first_of(kForbidden) != std::string::npos;
}

}  // namespace orla
