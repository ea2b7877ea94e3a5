#include "add_element_page.h"

#include <memory>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "agent_objects.h"
#include "element_names.h"
#include "trap_target_page.h"

namespace orla {

namespace {

// Where the OK button of this page's error pages leads: the empty form.
constexpr const char* kFormLocation = "add_element.html";

}  // namespace

uint32_t AddElementPage::HandleGet() { return ShowForm(false); }

uint32_t AddElementPage::HandlePost() {
  if (!IsAdministrator()) return ShowNotAdministrator();
  name_ = GetField("element_name");
  address_ = GetField("element_address");
  if (!name_ || !address_) return ShowError("One or more fields have not been specified.", kFormLocation, false);
  if (name_->empty() || name_->size() > ElementNames::kMaxLength) {
    return ShowError("The tape controller name must be between 1 and 8 characters in length.", kFormLocation,
                     false);
  }
  if (ElementNames::HasForbidden(*name_)) {
    return ShowError("The space, pipe, plus, semicolon, and apostrophe characters are not permitted.",
                     kFormLocation, false);
  }
  if (address_->empty()) return ShowError("No address has been specified.", kFormLocation, false);
  if (!ResolveAddress(&*address_)) {
    return ShowError("The specified address could not be verified.", kFormLocation, false);
  }

  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    // An element added here polls at the agent's configured interval, like
    // every element loaded at start.
    AgentObjects::Registry().AddElement(*name_, *address_);
  })) {
    switch (failed->Code()) {
      case kErrNameInUse:
        return ShowError("There is already a tape controller using that name.  Please enter a new name.",
                         kFormLocation, false);
      case kErrTrapsNotConfigured: {
        RecordChange("added the device " + *name_ + " (" + *address_ + ")", *name_, *address_);
        // The element is added; ask whether the device is to send its traps
        // here, naming it from this request's "element_name".
        TrapTargetPage question(Request());
        return question.HandleGet();
      }
      case kErrAlreadyManaged:
        return ShowError("The tape controller at the specified address is already being managed.", kFormLocation,
                         false);
      default:
        return ShowError(failed->Message(), kFormLocation, false);
    }
  }
  RecordChange("added the device " + *name_ + " (" + *address_ + ")", *name_, *address_);
  return ShowForm(true);
}

}  // namespace orla
