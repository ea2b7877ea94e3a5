#include "rename_element_check.h"

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "element_names.h"

namespace orla {

std::optional<std::string> RenameElementCheck::Check(const std::string& current, const std::string& wanted) {
  if (wanted == current) return std::string(kSameName);
  if (wanted.empty() || wanted.size() > ElementNames::kMaxLength) return std::string(kNameLength);
  if (ElementNames::HasForbidden(wanted)) return std::string(kNameCharacters);
  return std::nullopt;
}

std::string RenameElementCheck::RefusalText(const OrlaException& failed) {
  if (failed.Code() == kErrNameInUse) return kNameInUse;
  if (failed.Code() == kErrNoSuchObject) return kNoSuchElement;
  return failed.Message();
}

}  // namespace orla
