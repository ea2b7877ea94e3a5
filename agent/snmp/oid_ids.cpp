#include "agent/snmp/oid_ids.h"

#include <cstdlib>

namespace orla {

std::vector<uint32_t> OidIds(const char* dotted) {
  std::vector<uint32_t> ids;
  const char* p = dotted;
  while (*p != '\0') {
    char* end = nullptr;
    ids.push_back(static_cast<uint32_t>(std::strtoul(p, &end, 10)));
    if (end == p) break;  // not a number: stop rather than loop
    p = *end == '.' ? end + 1 : end;
  }
  return ids;
}

}  // namespace orla
