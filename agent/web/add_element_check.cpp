#include "add_element_check.h"

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "element_names.h"
#include "web_page.h"

namespace orla {

std::optional<AddElementCheck::Failure> AddElementCheck::Check(const std::optional<std::string>& name,
                                                               std::optional<std::string>* address) {
  if (!name) return Failure{kMissing, Field::kName};
  if (!*address) return Failure{kMissing, Field::kAddress};
  if (name->empty() || name->size() > ElementNames::kMaxLength) return Failure{kNameLength, Field::kName};
  if (ElementNames::HasForbidden(*name)) return Failure{kNameCharacters, Field::kName};
  if ((*address)->empty()) return Failure{kNoAddress, Field::kAddress};
  if (!WebPage::ResolveAddress(&**address)) return Failure{kUnresolved, Field::kAddress};
  return std::nullopt;
}

AddElementCheck::Failure AddElementCheck::RefusalText(const OrlaException& failed) {
  if (failed.Code() == kErrNameInUse) return Failure{kNameInUse, Field::kName};
  if (failed.Code() == kErrAlreadyManaged) return Failure{kAlreadyManaged, Field::kAddress};
  return Failure{failed.Message(), Field::kAddress};
}

}  // namespace orla
