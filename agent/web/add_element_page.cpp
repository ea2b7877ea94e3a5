#include "add_element_page.h"

#include <memory>
#include <optional>

#include "agent/core/error_codes.h"
#include "agent/core/orla_exception.h"
#include "agent/devices/element_registry.h"
#include "add_element_check.h"
#include "agent_objects.h"
#include "element_change_text.h"
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
  if (std::optional<AddElementCheck::Failure> refused = AddElementCheck::Check(name_, &address_)) {
    return ShowError(refused->text, kFormLocation, false);
  }

  if (std::unique_ptr<OrlaException> failed = OrlaException::Catch([&] {
    // An element added here polls at the agent's configured interval, like
    // every element loaded at start.
    AgentObjects::Registry().AddElement(*name_, *address_);
  })) {
    if (failed->Code() == kErrTrapsNotConfigured) {
      RecordChange(ElementChangeText::Added(*name_, *address_), *name_, *address_);
      // The element is added; ask whether the device is to send its traps
      // here, naming it from this request's "element_name".
      TrapTargetPage question(Request());
      return question.HandleGet();
    }
    return ShowError(AddElementCheck::RefusalText(*failed).text, kFormLocation, false);
  }
  RecordChange(ElementChangeText::Added(*name_, *address_), *name_, *address_);
  return ShowForm(true);
}

}  // namespace orla
