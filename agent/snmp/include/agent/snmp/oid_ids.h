#pragma once
// The sub-identifiers of a dotted object-identifier text ("1.3.6.1.3.94"),
// for comparing the names of GetNext answers and trap bindings with the
// plug-in's table columns. The texts are the plug-in's own constants.
#include <cstdint>
#include <vector>

namespace orla {

std::vector<uint32_t> OidIds(const char* dotted);

}  // namespace orla
