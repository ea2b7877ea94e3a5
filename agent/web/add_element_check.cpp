#include "add_element_check.h"

#include <arpa/inet.h>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "element_names.h"
#include "web_page.h"

namespace orla {

std::optional<AddElementCheck::Failure> AddElementCheck::Check(const std::optional<std::string>& name,
                                                               std::optional<std::string>* address,
                                                               Addresses addresses) {
  if (!name) return Failure{kMissing, Field::kName};
  if (!*address) return Failure{kMissing, Field::kAddress};
  if (name->empty() || name->size() > ElementNames::kMaxLength) return Failure{kNameLength, Field::kName};
  if (ElementNames::HasForbidden(*name)) return Failure{kNameCharacters, Field::kName};
  if ((*address)->empty()) return Failure{kNoAddress, Field::kAddress};
  if (addresses == Addresses::kDottedOnly) {
    unsigned char v4[4];
    if (inet_pton(AF_INET, (*address)->c_str(), v4) == 1) return std::nullopt;
    // Four numbers, one above 255, are an address out of range; anything
    // else is a host name or an IPv6 address, which an import does not take.
    const bool numbers = (*address)->find_first_not_of("0123456789.") == std::string::npos;
    return Failure{numbers ? kUnresolved : kDottedOnly, Field::kAddress};
  }
  if (!WebPage::ResolveAddress(&**address)) return Failure{kUnresolved, Field::kAddress};
  return std::nullopt;
}

AddElementCheck::Failure AddElementCheck::RefusalText(const OrlaException& failed) {
  if (failed.Code() == kErrNameInUse) return Failure{kNameInUse, Field::kName};
  if (failed.Code() == kErrAlreadyManaged) return Failure{kAlreadyManaged, Field::kAddress};
  return Failure{failed.Message(), Field::kAddress};
}

}  // namespace orla
