#include "plugins/famib_core/fa_mib_oids.h"

#include "platform/text/string_printf.h"

namespace orla {

std::string FaMibOids::Instance(const char* column, const std::vector<uint32_t>& index) {
  std::string oid = column;
  for (uint32_t id : index) oid += StringPrintf(".%u", id);
  return oid;
}

}  // namespace orla
